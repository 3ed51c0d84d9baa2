// A whole run recorded on the loopback replays against a fresh matchmaker
// with the same requests, states and messages; a replay that takes another
// road is caught.
#include <cstdio>
#include <string>
#include <vector>

#include "support/MatchmakerTestSupport.h"

namespace {

constexpr const char* kHopper = "11111111-2222-4333-8444-555555555555";
constexpr const char* kMatchable = "0f1e2d3c-4b5a-4978-8695-a4b3c2d1e0f9";
constexpr const char* kMatch = "3a7c0000-0000-4000-8000-0000000000aa";
constexpr const char* kOther = "bbbbbbbb-0000-4000-8000-000000000002";
constexpr const char* kJoin = R"({"server":"10.0.0.7:7777"})";

class RecordReplayTest : public krmm_test::MatchmakerTest {
protected:
    // A status of the run's matchable, with the match (the own player
    // leading it) from "matched" on.
    hy_json* Status(uint32_t seq, const char* state, bool withMatch) const {
        hy_json* status = hyl_status_json(kMatchable, kHopper, seq, state);
        if (withMatch) {
            hy_json* match = hyl_match_json(kMatch);
            const char* own = hy_client_get_identity_id(client_);
            hyl_match_add_team(match, &kOther, 1);
            hyl_match_add_team(match, &own, 1);
            hy_json_set_key(status, "match", match);
        }
        return status;
    }

    void ScriptRun() {
        ASSERT_EQ(
            hyl_script_json(client_, HYL_KEEPALIVE, 200, Status(1, "initial_waiting", false), 2),
            0);
        hy_json* status = Status(3, "matched", true);
        char* matched = hy_json_serialize(status, 0);
        hy_json_free(status);
        ASSERT_EQ(hyl_set_default(client_, HYL_KEEPALIVE, 200, matched, 0), 0);
        hy_free(matched);
        hyl_script_json(client_, HYL_ACCEPT, 200, Status(4, "accepted", true), 1);
        hyl_script_json(client_, HYL_START, 200, Status(5, "match_started", true), 0);
    }

    // The game's side, until the run is over: accept the match, start it
    // with join info; with pushMatching the backend pushes "matching" once
    // the player waits.
    void Drive(const char* join, bool pushMatching) {
        ASSERT_EQ(krmm_start_matchmaking(mm_, kHopper, nullptr, nullptr, 0, nullptr, nullptr), 1);
        bool pushed = false;
        for (int pass = 0; pass < 4000 && !krmm_is_idle(mm_); ++pass) {
            Pump(1, 100);
            const int32_t state = krmm_test::StateOf(mm_);
            if (state == MMS_INITIAL_WAITING && pushMatching && !pushed) {
                pushed = hyl_push_json(client_, "backend", "matchmaking_update",
                                       Status(2, "matching", false)) == 0;
            } else if (state == MMS_MATCHED) {
                krmm_accept_match(mm_);
            } else if (state == MMS_ACCEPTED_LEADER) {
                krmm_start_match(mm_, join);
            }
        }
    }

    // A fresh client and matchmaker on a clock started where the first one's was.
    void Restart(const std::string& scenarioFile) {
        krmm_free_matchmaking(mm_);
        mm_ = nullptr;
        hy_client_free(client_);
        client_ = hy_client_create(nullptr);
        ASSERT_EQ(hyl_load_scenario(client_, scenarioFile.c_str()), 0) << hyl_last_error();
        rec_.Clear();
        krmm_test::SetClock(100000);
        CreateMatchmaker();
    }

    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const krmm_test::Message& m : rec_.messages) {
            out.push_back(m.name + " " + std::to_string(m.value) + " " + m.text);
        }
        return out;
    }

    // Every exchange as kind, request key fields and answer.
    std::vector<std::string> Exchanges() const {
        std::vector<std::string> out;
        for (uint32_t i = 0; i < hyl_journal_count(client_); ++i) {
            const hyl_request* r = hyl_journal_get(client_, i);
            out.push_back(std::string(hyl_kind_name(r->kind)) + " " + r->ticket + " " +
                          r->hopper_id + " " + r->join_info_json + " -> " +
                          std::to_string(r->status) + " " + r->body_json + " after " +
                          std::to_string(r->pending_polls));
        }
        return out;
    }
};

TEST_F(RecordReplayTest, ARecordedRunReplaysTheSameRoadAndADifferentRoadIsCaught) {
    CreateMatchmaker();
    ScriptRun();
    Drive(kJoin, true);
    const std::vector<std::string> messages = Messages();
    ASSERT_EQ(rec_.States(),
              (std::vector<int32_t>{MMS_REQUEST_TICKET, MMS_INITIAL_KEEPALIVE, MMS_INITIAL_WAITING,
                                    MMS_MATCHING, MMS_MATCHED, MMS_ACCEPT_MATCH,
                                    MMS_ACCEPTED_LEADER, MMS_MATCH_STARTED_WAIT, MMS_MATCH_STARTED,
                                    MMS_RESTART, MMS_INIT, MMS_IDLE}));
    const std::vector<std::string> exchanges = Exchanges();
    ASSERT_EQ(hyl_journal_push_count(client_), 1u);
    const std::string identity = hy_client_get_identity_id(client_);
    const std::string file = ::testing::TempDir() + "halyard_record_replay.json";
    ASSERT_EQ(hyl_journal_write(client_, file.c_str()), 0) << hyl_last_error();

    Restart(file);
    EXPECT_EQ(hy_client_get_identity_id(client_), identity);
    Drive(kJoin, false);
    EXPECT_EQ(Messages(), messages);
    EXPECT_EQ(Exchanges(), exchanges);
    EXPECT_EQ(hyl_journal_push_count(client_), 1u);
    EXPECT_EQ(hyl_replay_mismatches(client_), 0u);
    for (uint32_t i = 0; i < hyl_journal_count(client_); ++i) {
        EXPECT_EQ(hyl_journal_get(client_, i)->source, HYL_SCRIPTED) << exchanges[i];
    }
    for (int kind = 0; kind < HYL_KIND_COUNT; ++kind) {
        EXPECT_EQ(hyl_scripted_count(client_, static_cast<hyl_kind>(kind)), 0u) << kind;
    }
    EXPECT_EQ(hyl_pending_pushes(client_), 0u);

    // The same fixture with other join info: the start request differs.
    Restart(file);
    Drive(R"({"server":"elsewhere"})", false);
    EXPECT_EQ(hyl_replay_mismatches(client_), 1u);
    EXPECT_TRUE(rec_.HasLine(R"([halyard] start request {"join_info":{"server":"elsewhere"})"));
    std::remove(file.c_str());
}

}  // namespace
