#include "PushedMessages.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "KRMatchmakingSystem.h"
#include "halyard.h"
#include "util/Clock.h"

namespace fuzz_test {

namespace {

namespace TestClock = KRMatchmakingSystem::TestClock;

constexpr uint32_t kPassMs = 100;  // a few hundred lines reach the accept and start timeouts

// Texts are read into this so that no read can be optimised away.
volatile size_t g_read_bytes = 0;

void KRMM_CALL OnLog(krmm_matchmaker*, int32_t, const char* line, void*) {
    g_read_bytes = g_read_bytes + std::strlen(line);
}

void KRMM_CALL OnMessage(krmm_matchmaker*, const char* name, int32_t value, const char*,
                         void* outcome) {
    if (std::strcmp(name, "state") == 0 && value >= 0 && value < 32) {
        static_cast<PushOutcome*>(outcome)->states_seen |= 1u << value;
    }
}

// The accessors walk the current status's match: its counts must agree with
// what they can reach, and every text they give must be readable.
const char* CheckMatchAccessors(krmm_matchmaker* mm) {
    const int32_t teams = krmm_get_match_info_num_teams(mm);
    const int32_t users = krmm_get_match_info_num_users(mm);
    int32_t members = 0;
    for (int32_t team = 0; team < teams; ++team) {
        const int32_t count = krmm_get_match_info_num_team_members(mm, team);
        for (int32_t member = 0; member < count; ++member) {
            if (std::strlen(krmm_get_match_info_team_member_id(mm, team, member)) != 36) {
                return "a counted team member has no identity id";
            }
        }
        members += count;
    }
    if (members != users || krmm_get_match_info_num_team_members(mm, teams) != 0) {
        return "team member counts disagree with the user count";
    }
    g_read_bytes = std::strlen(krmm_get_match_info_matched_json_str(mm)) +
                   std::strlen(krmm_get_match_info_join_json_str(mm)) +
                   std::strlen(krmm_get_match_info_match_id(mm)) +
                   std::strlen(krmm_get_match_info_matchable_id(mm)) +
                   std::strlen(krmm_get_group_id(mm)) + std::strlen(krmm_get_hopper_id(mm));
    for (int32_t user = 1; user <= users; ++user) {
        g_read_bytes = g_read_bytes + std::strlen(krmm_get_match_info_user_json_str(mm, user));
    }
    if (krmm_get_match_info_num_users_accepted(mm) < 0) {
        return "negative accepted count";
    }
    return *krmm_get_match_info_user_json_str(mm, users + 1) == '\0'
               ? nullptr
               : "a user past the count has attributes";
}

// Pushes every line, and what does not parse as the type with no JSON value.
const char* PlayLines(hy_client* client, krmm_matchmaker* mm, const std::string& text) {
    for (size_t begin = 0; begin <= text.size();) {
        const size_t end = std::min(text.find('\n', begin), text.size());
        const std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        if (hyl_push_message(client, "fuzz", "matchmaking_update", line.c_str()) != 0) {
            hyl_push_message(client, "fuzz", line.c_str(), nullptr);
        }
        TestClock::Advance(kPassMs);
        krmm_process(mm);
        if (const char* broken = CheckMatchAccessors(mm)) {
            return broken;
        }
    }
    return nullptr;
}

const char* Play(const std::string& text, PushOutcome* outcome) {
    hy_client* client = hy_client_create(kFuzzIdentity);
    krmm_matchmaker* mm = krmm_create_matchmaking(client, "fuzz", 0xFFu);
    krmm_register_log_callback(mm, &OnLog, nullptr);
    krmm_register_msg_callback(mm, &OnMessage, outcome);
    // Keep-alives stay unanswered until the lines are played, so that only
    // pushed messages move the matchmaker; the drain at the end collects them.
    const uint32_t lines = static_cast<uint32_t>(std::count(text.begin(), text.end(), '\n'));
    hyl_set_default(client, HYL_KEEPALIVE, 200, nullptr, lines + 8);
    hyl_script(client, HYL_GET_OBJECT, 200, text.substr(0, text.find('\n')).c_str(), 0);
    krmm_start_matchmaking(mm, kFuzzHopper, nullptr, nullptr, 0, nullptr, nullptr);
    krmm_request_hopper_info(mm, kFuzzHopper);
    for (int pass = 0; pass < 5; ++pass) {
        krmm_process(mm);
    }
    const char* broken = (outcome->states_seen & (1u << MMS_INITIAL_KEEPALIVE)) != 0
                             ? PlayLines(client, mm, text)
                             : "the matchmaker never got its ticket";
    outcome->hopper_stored = krmm_has_hopper_info(mm, kFuzzHopper) != 0;
    krmm_free_matchmaking(mm);
    hy_client_free(client);
    return broken;
}

}  // namespace

const char* CheckPushedMessages(const uint8_t* data, size_t size, PushOutcome* outcome) {
    PushOutcome local;
    outcome = outcome != nullptr ? outcome : &local;
    const uint32_t tasks = hyl_live_tasks();
    const uint32_t responses = hyl_live_responses();
    const uint32_t json = hyl_live_json();
    TestClock::Set(1000);
    const char* broken = Play(std::string(reinterpret_cast<const char*>(data), size), outcome);
    TestClock::Release();
    if (broken == nullptr && (hyl_live_tasks() != tasks || hyl_live_responses() != responses ||
                              hyl_live_json() != json)) {
        broken = "backend tasks, responses or JSON values outlived the matchmaker";
    }
    return broken;
}

}  // namespace fuzz_test
