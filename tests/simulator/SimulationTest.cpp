// Whole sessions on the emulator, on simulated time: what the simulator
// reports must match what the players went through.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "KRMatchmakingSystem.h"
#include "Report.h"
#include "Simulation.h"
#include "halyard.h"

namespace KRSimulator {
namespace {

class SimulationTest : public ::testing::Test {
protected:
    // Runs the session and fails the test if it could not run.
    SimulationSummary Run(const SimulationOptions& options) {
        SimulationSummary summary;
        std::string error;
        EXPECT_TRUE(RunSimulation(options, &summary, &error)) << error;
        return summary;
    }

    static SimulationOptions Options(uint32_t players, int32_t match_size, double decline = 0.0,
                                     double no_answer = 0.0, uint64_t seed = 1) {
        SimulationOptions options;
        options.players = players;
        options.hopper_id = HopperIdForSize(match_size);
        options.decline_fraction = decline;
        options.no_answer_fraction = no_answer;
        options.seed = seed;
        return options;
    }
};

std::map<std::string, uint32_t> TallyErrors(const SimulationSummary& summary) {
    std::map<std::string, uint32_t> tally;
    for (const PlayerResult& player : summary.player_results) {
        for (int32_t code : player.errors) {
            ++tally[krmm_error_code_to_str(code)];
        }
    }
    return tally;
}

struct FullRun {
    int32_t match_size;
    uint32_t players;
    bool auto_start;
    uint32_t expected_matches;
};

class FullRunTest : public SimulationTest, public ::testing::WithParamInterface<FullRun> {};

// Everyone accepts: every full group of the hopper's size plays, one leader
// each, and a player left over gives up when its matchmaking timeout fires.
TEST_P(FullRunTest, EveryFullGroupStartsItsMatch) {
    const FullRun& run = GetParam();
    SimulationOptions options = Options(run.players, run.match_size);
    options.auto_start = run.auto_start;
    options.seed = 7;
    const SimulationSummary summary = Run(options);

    const uint32_t in_matches = run.expected_matches * static_cast<uint32_t>(run.match_size);
    const uint32_t left_over = run.players - in_matches;
    EXPECT_FALSE(summary.safety_limit_hit);
    EXPECT_EQ(summary.players_still_active, 0u);
    EXPECT_EQ(summary.match_size, run.match_size);
    EXPECT_EQ(summary.matches_found, run.expected_matches);
    EXPECT_EQ(summary.matches_started, run.expected_matches);
    EXPECT_EQ(summary.leaders, run.expected_matches);
    EXPECT_EQ(summary.followers, in_matches - run.expected_matches);
    EXPECT_EQ(summary.players_in_started_matches, in_matches);
    EXPECT_EQ(summary.time_to_match.count, in_matches);
    EXPECT_EQ(summary.time_to_start.count, in_matches);
    EXPECT_LE(summary.time_to_match.min_ms, summary.time_to_match.max_ms);
    EXPECT_LE(summary.time_to_match.max_ms, summary.time_to_start.max_ms);
    EXPECT_EQ(summary.final_states, (std::map<std::string, uint32_t>{{"MMS_IDLE", run.players}}));
    if (left_over == 0) {
        EXPECT_TRUE(summary.errors.empty());
    } else {
        EXPECT_EQ(summary.errors,
                  (std::map<std::string, uint32_t>{{"MME_TIMEOUT_FINDING_MATCH", left_over}}));
    }

    // Each started match was seen by exactly its members, who all read a
    // match of the hopper's size through the accessors.
    std::map<std::string, uint32_t> members;
    for (const PlayerResult& player : summary.player_results) {
        if (player.match_started) {
            ++members[player.match_id];
            EXPECT_EQ(player.users_in_match, run.match_size);
            EXPECT_TRUE(player.errors.empty());
        } else {
            EXPECT_EQ(player.errors, std::vector<int32_t>{MME_TIMEOUT_FINDING_MATCH});
        }
    }
    EXPECT_EQ(members.size(), run.expected_matches);
    for (const auto& match : members) {
        EXPECT_EQ(match.second, static_cast<uint32_t>(run.match_size)) << match.first;
    }
}

INSTANTIATE_TEST_SUITE_P(Hoppers, FullRunTest,
                         ::testing::Values(FullRun{10, 20, false, 2}, FullRun{2, 7, false, 3},
                                           FullRun{10, 15, true, 1}));

// In a hopper of one every player is alone in its match, so each behaviour
// has exactly one outcome.
TEST_F(SimulationTest, BehavioursInHopperOfOne) {
    const SimulationSummary summary = Run(Options(20, 1, 0.25, 0.25, 3));

    EXPECT_EQ(summary.behaviours,
              (std::map<std::string, uint32_t>{{"accept", 10}, {"decline", 5}, {"no_answer", 5}}));
    EXPECT_EQ(summary.matches_found, 20u);
    EXPECT_EQ(summary.matches_started, 10u);
    EXPECT_EQ(summary.leaders, 10u);
    EXPECT_EQ(summary.followers, 0u);
    EXPECT_EQ(summary.errors,
              (std::map<std::string, uint32_t>{{"MME_TIMEOUT_WAITING_FOR_LOCAL_ACCEPT", 5}}));
    EXPECT_EQ(summary.final_states, (std::map<std::string, uint32_t>{{"MMS_IDLE", 20}}));

    for (const PlayerResult& player : summary.player_results) {
        EXPECT_TRUE(player.matched);
        switch (player.behaviour) {
            case Behaviour::kAccept:
                EXPECT_TRUE(player.leader);
                EXPECT_TRUE(player.match_started);
                EXPECT_TRUE(player.errors.empty());
                break;
            case Behaviour::kDecline:
                // Declining is the player's own choice: no error.
                EXPECT_FALSE(player.match_started);
                EXPECT_TRUE(player.errors.empty());
                break;
            case Behaviour::kNoAnswer:
                EXPECT_FALSE(player.match_started);
                EXPECT_EQ(player.errors,
                          std::vector<int32_t>{MME_TIMEOUT_WAITING_FOR_LOCAL_ACCEPT});
                break;
        }
    }

    // Both reports carry the same summary.
    const std::string text = FormatSummaryJson(summary);
    hy_json* json = hy_json_parse(text.c_str(), text.size());
    ASSERT_NE(json, nullptr) << text;
    EXPECT_EQ(hy_json_get_integer_item(json, "players"), 20);
    EXPECT_STREQ(hy_json_get_string_item(json, "hopper_id"), HopperIdForSize(1));
    EXPECT_EQ(hy_json_get_integer_item(json, "matches_started"), 10);
    EXPECT_EQ(hy_json_get_integer_item(json, "leaders"), 10);
    EXPECT_EQ(hy_json_get_integer_item(hy_json_get_item(json, "errors"),
                                       "MME_TIMEOUT_WAITING_FOR_LOCAL_ACCEPT"),
              5);
    EXPECT_EQ(hy_json_get_integer_item(hy_json_get_item(json, "final_states"), "MMS_IDLE"), 20);
    EXPECT_EQ(hy_json_get_integer_item(hy_json_get_item(json, "time_to_match_ms"), "count"), 20);
    EXPECT_FALSE(hy_json_is_true(hy_json_get_item(json, "safety_limit_hit")));
    hy_json_free(json);
    const std::string report = FormatSummaryText(summary);
    EXPECT_NE(report.find("10 / 0"), std::string::npos) << report;
    EXPECT_NE(report.find("MME_TIMEOUT_WAITING_FOR_LOCAL_ACCEPT 5"), std::string::npos) << report;
}

// Two players in a hopper of two, one never answering: the one that accepted
// always gives up on the other's accept; the silent one either times out on
// its own accept or, when the other's decline dissolved the match first,
// goes back to matching and times out there.
TEST_F(SimulationTest, AcceptingPlayerGivesUpOnSilentPartner) {
    for (uint64_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        SimulationOptions options = Options(2, 2, 0.0, 0.5, seed);
        options.join_spread_ms = 0;
        const SimulationSummary summary = Run(options);

        EXPECT_EQ(summary.matches_found, 1u);
        EXPECT_EQ(summary.matches_started, 0u);
        EXPECT_EQ(summary.players_still_active, 0u);
        EXPECT_EQ(summary.errors, TallyErrors(summary));
        for (const PlayerResult& player : summary.player_results) {
            if (player.behaviour == Behaviour::kAccept) {
                EXPECT_EQ(player.errors,
                          std::vector<int32_t>{MME_TIMEOUT_WAITING_FOR_OTHER_ACCEPT});
            } else {
                ASSERT_EQ(player.errors.size(), 1u);
                EXPECT_TRUE(player.errors[0] == MME_TIMEOUT_WAITING_FOR_LOCAL_ACCEPT ||
                            player.errors[0] == MME_TIMEOUT_FINDING_MATCH)
                    << krmm_error_code_to_str(player.errors[0]);
            }
        }
    }
}

void ExpectSameRun(const SimulationSummary& a, const SimulationSummary& b) {
    EXPECT_EQ(a.errors, b.errors);
    EXPECT_EQ(a.frames, b.frames);
    EXPECT_EQ(a.emulator_lines, b.emulator_lines);
    ASSERT_EQ(a.player_results.size(), b.player_results.size());
    for (size_t i = 0; i < a.player_results.size(); ++i) {
        const PlayerResult& x = a.player_results[i];
        const PlayerResult& y = b.player_results[i];
        EXPECT_EQ(x.joined_at_ms, y.joined_at_ms) << i;
        EXPECT_EQ(x.match_id, y.match_id) << i;
        EXPECT_EQ(x.errors, y.errors) << i;
    }
}

TEST_F(SimulationTest, SameSeedRepeatsTheRunExactly) {
    SimulationOptions options = Options(30, 10, 0.1, 0.1, 42);
    const SimulationSummary first = Run(options);
    const SimulationSummary second = Run(options);
    ExpectSameRun(first, second);

    options.seed = 43;
    const SimulationSummary other = Run(options);
    uint32_t moved = 0;
    for (size_t i = 0; i < other.player_results.size(); ++i) {
        moved += other.player_results[i].joined_at_ms != first.player_results[i].joined_at_ms;
    }
    EXPECT_GT(moved, 0u) << "the seed must drive the join times";
}

TEST_F(SimulationTest, SafetyLimitStopsAnUnfinishedRun) {
    SimulationOptions options = Options(12, 10);
    options.max_time_ms = 10000;
    const SimulationSummary summary = Run(options);

    EXPECT_TRUE(summary.safety_limit_hit);
    EXPECT_EQ(summary.players_still_active, 12u);
    EXPECT_GE(summary.run_time_ms, 10000u);
    EXPECT_LT(summary.run_time_ms, 10000u + options.frame_ms);
    EXPECT_NE(FormatSummaryText(summary).find("safety limit"), std::string::npos);
}

// Matchmaker lines reach the game only for the flags asked for; emulator
// lines are always counted and only passed on when someone listens.
TEST_F(SimulationTest, LogAndEmulatorLinesAreRouted) {
    SimulationOptions options = Options(8, 1, 0.0, 0.5);
    const SimulationSummary quiet = Run(options);
    EXPECT_EQ(quiet.log_lines, 0u);
    EXPECT_GT(quiet.emulator_lines, 0u);

    std::vector<std::string> log_lines;
    uint64_t emulator_lines = 0;
    bool emulator_lines_well_formed = true;
    options.log_flags = MMF_LOG_ERROR;
    options.on_log_line = [&](const std::string& line) { log_lines.push_back(line); };
    options.on_emulator_line = [&](const char* line) {
        ++emulator_lines;
        emulator_lines_well_formed &= std::string(line).rfind("[HYE][", 0) == 0;
    };
    const SimulationSummary loud = Run(options);

    // Only errors were asked for: one ERR line per error raised.
    EXPECT_EQ(loud.total_errors(), 4u);
    EXPECT_EQ(loud.log_lines, loud.total_errors());
    ASSERT_EQ(log_lines.size(), loud.log_lines);
    for (const std::string& line : log_lines) {
        EXPECT_NE(line.find("[ERR]"), std::string::npos) << line;
        EXPECT_NE(line.find("MME_TIMEOUT_WAITING_FOR_LOCAL_ACCEPT"), std::string::npos) << line;
    }
    EXPECT_EQ(emulator_lines, loud.emulator_lines);
    EXPECT_EQ(loud.emulator_lines, quiet.emulator_lines);
    EXPECT_TRUE(emulator_lines_well_formed);
}

TEST_F(SimulationTest, ProgressLinesFollowRunTime) {
    SimulationOptions options = Options(10, 10);
    options.progress_every_ms = 5000;
    std::vector<std::string> lines;
    options.on_progress = [&](const std::string& line) { lines.push_back(line); };
    const SimulationSummary summary = Run(options);

    // One line per full period, and a final one.
    EXPECT_EQ(lines.size(), summary.run_time_ms / 5000 + 1);
    EXPECT_NE(lines.back().find("done 10/10"), std::string::npos) << lines.back();
}

TEST_F(SimulationTest, InvalidOptionsAreRefusedBeforeAnythingRuns) {
    SimulationOptions options = Options(10, 10);
    options.hopper_id = "not-a-hopper";
    SimulationSummary summary;
    summary.players = 99;
    std::string error;
    EXPECT_FALSE(RunSimulation(options, &summary, &error));
    EXPECT_NE(error.find("not-a-hopper"), std::string::npos) << error;
    EXPECT_EQ(summary.players, 99u);
}

}  // namespace
}  // namespace KRSimulator
