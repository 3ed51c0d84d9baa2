// A whole run recorded on the loopback replays against a fresh matchmaker
// with the same requests, states and messages; a replay that takes another
// road is caught.
#include <cstdio>
#include <string>
#include <vector>

#include "HalyardTest.h"
#include "support/MatchmakerTestSupport.h"

namespace {

constexpr const char* kJoin = R"({"server":"10.0.0.7:7777"})";

class RecordReplayTest : public krmm_test::MatchmakerTest {
protected:
    // The game's side, until the run is over: accept the match, start it
    // with join info.
    void Drive(const char* join) {
        ASSERT_EQ(krmm_start_matchmaking(mm_, "11111111-2222-4333-8444-555555555555", nullptr,
                                         nullptr, 0, nullptr, nullptr),
                  1);
        for (int pass = 0; pass < 4000 && !krmm_is_idle(mm_); ++pass) {
            Pump(1, 100);
            const int32_t state = krmm_test::StateOf(mm_);
            if (state == MMS_MATCHED) {
                krmm_accept_match(mm_);
            } else if (state == MMS_ACCEPTED_LEADER) {
                krmm_start_match(mm_, join);
            }
        }
    }

    // A fresh client with scenarioFile and matchmaker, on a clock started
    // where the last one's was.
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
    // The C example's scenario: scripted answers, a default and a push.
    Restart(HALYARD_MATCH_SCENARIO);
    Drive(kJoin);
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

    // A recorder given the same exchanges and push writes the same scenario.
    hyl_recorder* recorder = hyl_recorder_new(identity.c_str());
    for (uint32_t i = 0; i < hyl_journal_count(client_); ++i) {
        ASSERT_EQ(hyl_recorder_add(recorder, hyl_journal_get(client_, i)), 0);
    }
    ASSERT_EQ(hyl_recorder_add_push(recorder, hyl_journal_push_get(client_, 0)), 0);
    hyl_request broken = *hyl_journal_get(client_, 0);
    broken.body_json = "{";
    EXPECT_EQ(hyl_recorder_add(recorder, &broken), -1);
    EXPECT_EQ(std::string(hyl_last_error()).find("hyl_recorder_add: body: line 1"), 0u);
    char* recorded = hyl_recorder_scenario(recorder);
    char* journalled = hyl_journal_scenario(client_);
    EXPECT_STREQ(recorded, journalled);
    // Each answer says where its request came, so a replay checks the order.
    EXPECT_NE(std::string(journalled).find(R"("order": 4)"), std::string::npos) << journalled;
    hy_free(recorded);
    hy_free(journalled);
    hyl_recorder_free(recorder);

    Restart(file);
    EXPECT_EQ(hy_client_get_identity_id(client_), identity);
    Drive(kJoin);
    EXPECT_EQ(Messages(), messages);
    EXPECT_EQ(Exchanges(), exchanges);
    EXPECT_EQ(hyl_journal_push_count(client_), 1u);
    ExpectWholeReplay(client_);

    // The same fixture with other join info: the start request differs.
    Restart(file);
    Drive(R"({"server":"elsewhere"})");
    EXPECT_EQ(hyl_replay_mismatches(client_), 1u);
    EXPECT_TRUE(rec_.HasLine(R"([halyard] start request {"join_info":{"server":"elsewhere"})"));
    std::remove(file.c_str());
}

}  // namespace
