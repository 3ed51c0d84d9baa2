#include "RecordsFuzz.h"

#include <cmath>
#include <cstring>
#include <forward_list>
#include <iterator>

#include "halyard.h"
#include "records/HopperInfo.h"
#include "records/MatchInfo.h"
#include "records/MatchableStatus.h"

namespace records_test {

namespace {

using namespace KRMatchmakingSystem;

template <typename T, typename Same>
bool SameList(const std::forward_list<T>& a, const std::forward_list<T>& b, Same same) {
    auto ia = a.begin();
    auto ib = b.begin();
    for (; ia != a.end() && ib != b.end(); ++ia, ++ib) {
        if (!same(*ia, *ib)) {
            return false;
        }
    }
    return ia == a.end() && ib == b.end();
}

bool SameText(const String& a, const String& b) {
    return std::strcmp(a.c_str(), b.c_str()) == 0;
}

bool SameUser(const MatchUser& a, const MatchUser& b) {
    return SameText(a.identity_id, b.identity_id) && SameText(a.group_id, b.group_id) &&
           SameText(a.attributes, b.attributes) && SameText(a.values, b.values) &&
           std::memcmp(&a.bayesian_rating, &b.bayesian_rating, sizeof(double)) == 0;
}

bool SameTeam(const MatchTeam& a, const MatchTeam& b) {
    return a.member_count == b.member_count && SameList(a.members, b.members, SameUser);
}

bool SameMatch(const MatchInfo& a, const MatchInfo& b) {
    return SameText(a.id, b.id) && a.team_count == b.team_count &&
           SameList(a.teams, b.teams, SameTeam) && a.accepted_count == b.accepted_count &&
           a.user_count == b.user_count && SameList(a.accepted, b.accepted, SameText) &&
           SameText(a.params, b.params) && SameText(a.join_info, b.join_info);
}

bool SameStatus(const MatchableStatus& a, const MatchableStatus& b) {
    return a.seq == b.seq && SameText(a.matchable_id, b.matchable_id) &&
           SameText(a.hopper_id, b.hopper_id) && a.state == b.state &&
           a.estimated_hopper_size == b.estimated_hopper_size && SameText(a.group_id, b.group_id) &&
           a.group_size == b.group_size &&
           a.group_members_joined_count == b.group_members_joined_count &&
           SameList(a.group_members_joined, b.group_members_joined, SameText) &&
           SameMatch(a.match, b.match);
}

bool SameFraction(const float& a, const float& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameHopper(const HopperInfo& a, const HopperInfo& b) {
    return SameText(a.id, b.id) && SameText(a.name, b.name) && a.is_enabled == b.is_enabled &&
           a.allow_groups == b.allow_groups && a.expansion_time == b.expansion_time &&
           a.expansion_wait == b.expansion_wait && a.maximum_wait_time == b.maximum_wait_time &&
           a.players == b.players && a.team_count == b.team_count &&
           SameList(a.team_fractions, b.team_fractions, SameFraction) &&
           a.rule_count == b.rule_count && SameList(a.rules, b.rules, SameText);
}

template <typename T>
long Length(const std::forward_list<T>& list) {
    return std::distance(list.begin(), list.end());
}

// Counts the consumers of a valid match rely on.
const char* CheckValidMatch(const MatchInfo& match) {
    if (Length(match.teams) != match.team_count || Length(match.accepted) != match.accepted_count) {
        return "valid match with counts that disagree with its lists";
    }
    long users = 0;
    for (const MatchTeam& team : match.teams) {
        if (team.member_count <= 0 || Length(team.members) != team.member_count) {
            return "valid match with an empty team or a wrong member count";
        }
        users += team.member_count;
    }
    return users == match.user_count ? nullptr : "user count differs from the teams' members";
}

// Parses into two records (one reused), then checks copies and Clear.
template <typename Record, typename Parse, typename Same>
const char* CheckRecord(const hy_json* json, Parse parse, Same same, bool* valid,
                        const char* (*check_valid)(const Record&)) {
    Record record;
    *valid = parse(json, &record);
    if (*valid != record.IsValid()) {
        return "parse result differs from IsValid";
    }
    if (json == nullptr && *valid) {
        return "a null body parsed as valid";
    }
    if (*valid) {
        if (const char* broken = check_valid(record)) {
            return broken;
        }
    }
    Record reused(record);
    if (parse(json, &reused) != *valid || !same(reused, record)) {
        return "parsing into a used record differs from a fresh parse";
    }
    Record copied(record);
    Record assigned;
    parse(json, &assigned);
    assigned = copied;
    record.Clear();
    if (!same(copied, assigned) || !same(copied, reused)) {
        return "a copy differs from its source";
    }
    if (!same(record, Record())) {
        return "Clear differs from a constructed record";
    }
    return nullptr;
}

const char* CheckValidStatus(const MatchableStatus& status) {
    if (Length(status.group_members_joined) != status.group_members_joined_count ||
        status.state < HY_INITIAL_WAITING || status.state >= HY_STATE_UNKNOWN) {
        return "valid status with a wrong joined count or state";
    }
    return CheckValidMatch(status.match);
}

const char* CheckValidHopper(const HopperInfo& info) {
    if (Length(info.team_fractions) != info.team_count || Length(info.rules) != info.rule_count ||
        info.players < 1) {
        return "valid hopper with counts that disagree with its lists";
    }
    for (float fraction : info.team_fractions) {
        if (std::isnan(fraction) || fraction < 0.0f) {
            return "valid hopper with an unusable team fraction";
        }
    }
    return nullptr;
}

const char* CheckAll(const hy_json* json, FuzzOutcome* outcome) {
    outcome->json_parsed = json != nullptr;
    if (const char* broken = CheckRecord<MatchableStatus>(
            json, ParseMatchableStatus, SameStatus, &outcome->status_valid, CheckValidStatus)) {
        return broken;
    }
    if (const char* broken = CheckRecord<HopperInfo>(json, ParseHopperInfo, SameHopper,
                                                     &outcome->hopper_valid, CheckValidHopper)) {
        return broken;
    }
    // The body read as a bare match object: nested arrays of any shape.
    MatchInfo match;
    ParseMatchInfo(json, &match);
    if (match.IsValid()) {
        if (const char* broken = CheckValidMatch(match)) {
            return broken;
        }
    }
    MatchInfo copy(match);
    return SameMatch(copy, match) ? nullptr : "a match copy differs from its source";
}

}  // namespace

const char* CheckRecordParsers(const uint8_t* data, size_t size, FuzzOutcome* outcome) {
    FuzzOutcome local;
    if (outcome == nullptr) {
        outcome = &local;
    }
    const uint32_t live_json = hyl_live_json();
    hy_json* json = hy_json_parse(reinterpret_cast<const char*>(data), size);
    const char* broken = CheckAll(json, outcome);
    hy_json_free(json);
    if (broken == nullptr && hyl_live_json() != live_json) {
        broken = "JSON blocks outlived the parse";
    }
    return broken;
}

}  // namespace records_test
