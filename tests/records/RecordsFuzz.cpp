#include "RecordsFuzz.h"

#include <algorithm>
#include <forward_list>
#include <iterator>
#include <utility>
#include <vector>

#include "halyard.h"
#include "records/HopperInfo.h"
#include "records/MatchInfo.h"
#include "records/MatchableStatus.h"

namespace records_test {

namespace {

using namespace KRMatchmakingSystem;

template <typename T>
long Length(const std::forward_list<T>& list) {
    return std::distance(list.begin(), list.end());
}

// Each count a record keeps, paired with what its list really holds: the
// shape its consumers walk. A valid record's pairs agree.
using Shape = std::vector<std::pair<long, long>>;

Shape ShapeOf(const MatchInfo& match) {
    Shape shape = {{match.team_count, Length(match.teams)},
                   {match.accepted_count, Length(match.accepted)}};
    long users = 0;
    for (const MatchTeam& team : match.teams) {
        shape.emplace_back(team.member_count, Length(team.members));
        users += Length(team.members);
    }
    shape.emplace_back(match.user_count, users);
    return shape;
}

Shape ShapeOf(const MatchableStatus& status) {
    Shape shape = ShapeOf(status.match);
    shape.emplace_back(status.group_members_joined_count, Length(status.group_members_joined));
    return shape;
}

Shape ShapeOf(const HopperInfo& info) {
    return {{info.team_count, Length(info.team_fractions)}, {info.rule_count, Length(info.rules)}};
}

bool Agrees(const Shape& shape) {
    return std::all_of(shape.begin(), shape.end(),
                       [](const auto& pair) { return pair.first == pair.second; });
}

// Parses into a fresh record and into a copy of the result, then checks the
// verdict, the copy and Clear.
template <typename Record, typename Parse>
const char* CheckRecord(const hy_json* json, Parse parse, bool* valid) {
    Record record;
    *valid = parse(json, &record);
    if (*valid != record.IsValid()) {
        return "parse result differs from IsValid";
    }
    if (*valid && (json == nullptr || !Agrees(ShapeOf(record)))) {
        return "valid record from a null body or with counts that disagree with its lists";
    }
    Record reused(record);
    if (ShapeOf(reused) != ShapeOf(record)) {
        return "a copy differs from its source";
    }
    if (parse(json, &reused) != *valid || ShapeOf(reused) != ShapeOf(record)) {
        return "parsing into a used record differs from a fresh parse";
    }
    record.Clear();
    return ShapeOf(record) == ShapeOf(Record()) ? nullptr
                                                : "Clear differs from a constructed record";
}

const char* CheckAll(const hy_json* json, FuzzOutcome* outcome) {
    outcome->json_parsed = json != nullptr;
    if (const char* broken =
            CheckRecord<MatchableStatus>(json, ParseMatchableStatus, &outcome->status_valid)) {
        return broken;
    }
    if (const char* broken =
            CheckRecord<HopperInfo>(json, ParseHopperInfo, &outcome->hopper_valid)) {
        return broken;
    }
    // The body read as a bare match object: nested arrays of any shape.
    MatchInfo match;
    ParseMatchInfo(json, &match);
    return !match.IsValid() || Agrees(ShapeOf(match)) ? nullptr
                                                      : "valid match with disagreeing counts";
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
