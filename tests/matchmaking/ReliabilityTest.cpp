// Many matchmakers driven through random backend answers (hostile bodies and
// answers pending for hundreds of passes among them), pushes, commands, calls
// from inside their log callbacks, frees and re-creations, and clock jumps
// across the 32-bit wrap. Whatever happened, a stop and enough passes must
// bring each one back to idle with nothing queued, and nothing of the client
// library may be left alive.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "RunFixture.h"

namespace krmm_test {
namespace {

// Checks what every message callback may rely on, as the messages arrive.
struct Watcher {
    int32_t last_state = MMS_IDLE;
    int32_t last_idle = 1;
    uint32_t states_seen = 0;  // one bit per state
    size_t errors = 0;
    std::vector<std::string> faults;

    static void OnMsg(krmm_matchmaker* mm, const char* name, int32_t value, const char*,
                      void* user_data) {
        auto* self = static_cast<Watcher*>(user_data);
        const std::string n = name;
        if (n == "state") {
            if (value != StateOf(mm) || value == self->last_state) {
                self->faults.push_back("state message out of step");
            }
            if (value == MMS_IDLE && self->last_state != MMS_INIT) {
                self->faults.push_back("idle entered without a restart");
            }
            self->last_state = value;
            self->states_seen |= 1u << (value & 31);
        } else if (n == "idle") {
            if (value == self->last_idle || value != (self->last_state == MMS_IDLE ? 1 : 0)) {
                self->faults.push_back("idle message out of step");
            }
            self->last_idle = value;
        } else if (n == "error") {
            ++self->errors;
            if (value < 1 || value > MME_REQUEST_TICKET_SERVER_ERROR) {
                self->faults.push_back("error code out of range");
            }
        }
    }
};

struct Player {
    hy_client* client = nullptr;
    krmm_matchmaker* mm = nullptr;
    std::string identity;
    uint32_t flags = 0;
    Watcher watcher;
    uint32_t matchable = 0;  // the id number of the matchable the backend talks about
    uint32_t seq = 0;
    // What the log callback calls when its countdown (0: none) runs out.
    Command reentry = kStop;
    int lines_to_reentry = 0;
    bool cleaned_up = false;
    bool freed = false;

    void Create() {
        mm = krmm_create_matchmaking(client, "random", flags);
        Attach();
    }
    void Attach() {
        krmm_register_msg_callback(mm, &Watcher::OnMsg, &watcher);
        krmm_register_log_callback(mm, &Player::OnLog, this);
        // After a clean-up the messages of the drain went to nobody.
        watcher.last_state = StateOf(mm);
        watcher.last_idle = watcher.last_state == MMS_IDLE ? 1 : 0;
    }

    static void OnLog(krmm_matchmaker* mm, int32_t, const char*, void* user_data) {
        auto* self = static_cast<Player*>(user_data);
        if (self->lines_to_reentry <= 0 || --self->lines_to_reentry > 0) {
            return;
        }
        Issue(mm, self->reentry);
        self->cleaned_up |= self->reentry == kCleanup;
        self->freed |= self->reentry == kFree;
    }

    // After each call into the matchmaker: the game goes on after a clean-up
    // or a free made from its callback.
    void AfterCall() {
        if (freed) {
            freed = false;
            Create();
        } else if (cleaned_up) {
            cleaned_up = false;
            krmm_restart(mm);
            Attach();
        }
    }
};

class RandomBackend {
public:
    explicit RandomBackend(uint32_t seed) : rng_(seed) {}

    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }
    bool Chance(uint32_t percent) { return Below(100) < percent; }

    // Mostly the next step of a plausible run for the player's current
    // matchable, sometimes anything at all: another matchable, an old
    // sequence, a jump, or a body no backend should send.
    std::string Status(Player& player, int index) {
        static const char* const states[] = {"initial_waiting", "matching", "matched",  "accepted",
                                             "match_started",   "expired",  "cancelled"};
        if (Chance(5)) {
            player.matchable = 100 * index + Below(3);
        }
        uint32_t seq = ++player.seq;
        if (Chance(10)) {
            seq = 1 + Below(seq);
        }
        if (Chance(3)) {
            return Hostile(player, seq);
        }
        int state = Chance(70) ? std::min<int>(StepOf(StateOf(player.mm)) + Below(2), 4)
                               : static_cast<int>(Below(7));
        StatusJson status(TestId(player.matchable), seq, states[state]);
        status.HopperSize(Below(20));
        if (Chance(80)) {
            status.MatchId(TestId(5000 + Below(3)));
            status.Team({TestId(7000 + Below(5))});
            if (Chance(50)) {
                status.Team({TestId(7100), player.identity});  // this player leads
            }
        }
        return status.Text();
    }

    std::string Hostile(const Player& player, uint32_t seq) {
        const std::string head = "{\"seq\":" + std::to_string(seq) + ",\"matchable_id\":\"" +
                                 TestId(player.matchable) + "\",\"state\":\"matched\"";
        switch (Below(5)) {
            case 0:  // huge strings
                return head + ",\"match\":{\"id\":\"" + std::string(20000 + Below(20000), 'm') +
                       "\",\"params\":{\"p\":\"" + std::string(40000, 'p') + "\"}}}";
            case 1:  // wrong types everywhere
                return "{\"seq\":\"7\",\"matchable_id\":42,\"state\":[\"matched\"],"
                       "\"estimated_hopper_size\":-1,\"match\":\"none\",\"ticket\":{\"t\":1},"
                       "\"proof\":7,\"expires_at\":\"soon\",\"players\":\"two\"}";
            case 2: {  // deep nesting
                const uint32_t depth = 200 + Below(1500);
                return head + ",\"match\":{\"id\":\"x\",\"teams\":" + std::string(depth, '[') +
                       std::string(depth, ']') + "}}";
            }
            case 3:  // NUL characters inside ids
                return "{\"seq\":" + std::to_string(seq) + ",\"matchable_id\":\"" +
                       TestId(player.matchable) +
                       "\\u0000x\",\"state\":\"accepted\",\"match\":{\"id\":\"a\\u0000b\","
                       "\"teams\":[[{\"identity_id\":\"\\u0000\"}]],\"accepted\":[\"\\u0000\"]}}";
            default: {  // huge arrays
                std::string members;
                for (uint32_t i = 0, n = 300 + Below(1200); i < n; ++i) {
                    members +=
                        (i ? ",{\"identity_id\":\"" : "{\"identity_id\":\"") + TestId(i) + "\"}";
                }
                std::string accepted = "\"a\"";
                for (int i = 0; i < 3000; ++i) {
                    accepted += ",\"a\"";
                }
                return head + ",\"match\":{\"id\":\"x\",\"accepted\":[" + accepted +
                       "],\"teams\":[[" + members + "]]}}";
            }
        }
    }

    // The backend state that goes with a matchmaker state, as an index of
    // the state texts above.
    static int StepOf(int32_t state) {
        static const int steps[] = {0, 0, 0, 0, 0, 1, 2, 2, 3, 3, 3, 3, 0, 0, 0};
        return state >= 0 && state < 15 ? steps[state] : 0;
    }

    // Scripts one answer (or changes a default) for a random request kind;
    // some stay pending for hundreds of passes.
    void Script(Player& player, int index) {
        static const int32_t codes[] = {200, 200, 200, 200, 302, 400, 404,
                                        409, 422, 500, 503, 504, 0,   600};
        const int32_t code = codes[Below(sizeof(codes) / sizeof(codes[0]))];
        const uint32_t polls = Chance(4) ? 100 + Below(500) : Below(7);
        const hyl_kind kinds[] = {HYL_TICKET, HYL_KEEPALIVE, HYL_KEEPALIVE,    HYL_ACCEPT,
                                  HYL_CANCEL, HYL_START,     HYL_CREATE_PROOF, HYL_GET_OBJECT};
        const hyl_kind kind = kinds[Below(sizeof(kinds) / sizeof(kinds[0]))];
        std::string body;
        if (kind == HYL_TICKET) {
            body = Chance(90) ? "{\"ticket\":\"" + TestId(9000 + Below(1000)) + "\"}"
                              : Hostile(player, 1);
        } else if (kind == HYL_CREATE_PROOF) {
            body = Chance(80) ? "{\"proof\":\"p\",\"expires_at\":" + std::to_string(Below(99)) + "}"
                              : Hostile(player, 1);
        } else if (kind == HYL_GET_OBJECT) {
            body = Chance(90) ? "{\"_id\":\"" + TestId(42) + "\",\"players\":2,\"teams\":[1]}"
                              : Hostile(player, 1);
        } else if (Chance(85)) {
            body = Status(player, index);
        }
        const char* text = body.empty() ? nullptr : body.c_str();
        if (Chance(3)) {
            hyl_set_default(player.client, kind, code, text, polls);
        } else {
            hyl_script(player.client, kind, code, text, polls);
        }
    }

    void Play(Player& player) {
        krmm_matchmaker* mm = player.mm;
        // Half of the time, what a game would do next.
        const int32_t state = StateOf(mm);
        if (Chance(50) &&
            (state == MMS_IDLE || state == MMS_MATCHED || state == MMS_ACCEPTED_LEADER)) {
            Issue(mm,
                  state == MMS_IDLE      ? kStartMatchmaking
                  : state == MMS_MATCHED ? kAccept
                                         : kStartMatch,
                  "{\"s\":1}");
            return;
        }
        static const Command kCommands[] = {
            kStartMatchmaking, kStartMatchmaking, kStop, kAccept, kDecline, kStartMatch, kProof,
            kHopperInfo,       kRestart};
        const uint32_t pick = Below(11);
        if (pick < 9) {
            Issue(mm, kCommands[pick], pick == 5 && Chance(50) ? nullptr : "{\"s\":1}");
        } else if (pick == 9) {
            // A call from one of the next log lines.
            static const Command kReentries[] = {kRestart, kCleanup, kFree, kStop,
                                                 kStartMatchmaking};
            player.reentry = kReentries[Below(5)];
            player.lines_to_reentry = 1 + static_cast<int>(Below(40));
        } else {
            // Freed and created again between frames.
            krmm_free_matchmaking(mm);
            player.Create();
        }
    }

private:
    std::mt19937 rng_;
};

class ReliabilityTest : public MatchmakerTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(ReliabilityTest, RandomBackendNeverStrandsAMatchmaker) {
    uint32_t seed = GetParam();
    if (const char* chosen = std::getenv("KRMM_RELIABILITY_SEED")) {
        seed = static_cast<uint32_t>(std::strtoul(chosen, nullptr, 10));
    }
    // Every failure names the seed that replays it; a crash leaves it printed.
    const std::string replay = "seed " + std::to_string(seed) + " (KRMM_RELIABILITY_SEED replays)";
    std::cout << "[ " << replay << " ]" << std::endl;
    SCOPED_TRACE(replay);
    RandomBackend random(seed);
    // The task system clock wraps early in the run.
    SetClock(0xFFFFFFFFu - 20000 - random.Below(20000));

    const int kPlayers = 8;
    std::vector<Player> players(kPlayers);
    for (int i = 0; i < kPlayers; ++i) {
        Player& p = players[i];
        p.client = hy_client_create(nullptr);
        ASSERT_NE(p.client, nullptr);
        p.identity = hy_client_get_identity_id(p.client);
        p.matchable = 100 * i;
        // Until the run scripts otherwise, the backend answers with a status
        // that changes nothing once seen.
        const std::string quiet = StatusJson(TestId(p.matchable), 1, "matching").Text();
        for (hyl_kind kind : {HYL_KEEPALIVE, HYL_ACCEPT, HYL_CANCEL, HYL_START}) {
            ASSERT_EQ(hyl_set_default(p.client, kind, 200, quiet.c_str(), 0), 0);
        }
        // Half of them log everything, so that every log path runs as well
        // and their log callbacks can call back in.
        p.flags = (i % 2 ? 0xFFu : 0u) | (random.Chance(50) ? MMF_AUTO_ACCEPT : 0u) |
                  (random.Chance(50) ? MMF_AUTO_START : 0u);
        p.Create();
        ASSERT_NE(p.mm, nullptr);
        krmm_set_heartbeat_interval(p.mm, 200 + random.Below(3000));
        krmm_set_accept_timeout(p.mm, random.Below(4) * 3000);
        krmm_set_start_timeout(p.mm, random.Below(4) * 3000);
        krmm_set_eror_recover_timeout(p.mm, 1000 + random.Below(8000));
        krmm_set_matchmaking_timeout(p.mm, random.Chance(30) ? 0 : 20000 + random.Below(60000));
    }

    for (int step = 0; step < 5000; ++step) {
        AdvanceClock(random.Chance(3) ? 1000 + random.Below(25000) : 10);
        for (int i = 0; i < kPlayers; ++i) {
            Player& p = players[i];
            if (random.Chance(15)) {
                random.Script(p, i);
            }
            if (random.Chance(8)) {
                hyl_push_message(p.client, "c", "matchmaking_update", random.Status(p, i).c_str());
                p.AfterCall();
            }
            if (random.Chance(3)) {
                random.Play(p);
                p.AfterCall();
            }
            krmm_process(p.mm);
            p.AfterCall();
        }
    }

    // The run has to have gone everywhere for its verdict to mean anything.
    uint32_t states_seen = 0;
    size_t errors = 0;
    for (Player& p : players) {
        states_seen |= p.watcher.states_seen;
        errors += p.watcher.errors;
        p.lines_to_reentry = 0;
        krmm_stop_matchmaking(p.mm);
    }
    for (int32_t state = MMS_INIT; state <= MMS_ERR_EXPIRED; ++state) {
        EXPECT_NE(states_seen & (1u << state), 0u) << krmm_matchmaking_state_to_str(state);
    }
    EXPECT_GT(errors, 100u);
    for (int pass = 0; pass < 6000; ++pass) {
        AdvanceClock(10);
        for (Player& p : players) {
            krmm_process(p.mm);
        }
    }
    for (int i = 0; i < kPlayers; ++i) {
        SCOPED_TRACE("matchmaker " + std::to_string(i));
        Player& p = players[i];
        auto* system = Sys(p.mm);
        EXPECT_EQ(StateOf(p.mm), MMS_IDLE);
        EXPECT_TRUE(system->task_manager()->queue_empty());
        EXPECT_EQ(system->heartbeat_task(), nullptr);
        EXPECT_EQ(p.watcher.faults, std::vector<std::string>{});
        EXPECT_GT(hyl_journal_count(p.client), 0u);
        krmm_free_matchmaking(p.mm);
        hy_client_free(p.client);
    }
    // Nothing of the client library may outlive the matchmakers.
    EXPECT_EQ(hyl_live_tasks(), base_tasks_);
    EXPECT_EQ(hyl_live_responses(), base_responses_);
}

INSTANTIATE_TEST_SUITE_P(Seeds, ReliabilityTest, ::testing::Values(20261206u, 20261207u));

}  // namespace
}  // namespace krmm_test
