// Whole sessions on the emulator, on simulated time: what the simulator
// reports must match what the players went through, faults included.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "CheckedRun.h"
#include "FaultOptions.h"
#include "KRMatchmakingSystem.h"
#include "Simulation.h"
#include "SummaryFormat.h"
#include "halyard.h"

namespace KRSimulator {
namespace {

using Counts = std::map<std::string, uint32_t>;

// Everyone accepts: every full group of the hopper's size plays, one leader
// each, and a player left over gives up when its matchmaking timeout fires.
// Every player of a started match has a time to accept, also a follower
// that heard of everyone's accept and the start from one keep-alive.
TEST(SimulationTest, EveryFullGroupStartsItsMatch) {
    const struct {
        int32_t match_size;
        uint32_t players;
        bool auto_start;
        uint32_t expected_matches;
    } runs[] = {{10, 20, false, 2}, {2, 7, false, 3}, {10, 15, true, 1}};
    for (const auto& run : runs) {
        SCOPED_TRACE(std::to_string(run.players) + " players, matches of " +
                     std::to_string(run.match_size));
        SimulationOptions options = Options(run.players, run.match_size, 0.0, 0.0, 7);
        options.auto_start = run.auto_start;
        const SimulationSummary summary = RunChecked(options);
        const uint32_t in_matches = run.expected_matches * static_cast<uint32_t>(run.match_size);
        const uint32_t left_over = run.players - in_matches;
        const WaitFigures& all = summary.waits.front();
        EXPECT_EQ(std::make_tuple(summary.matches_found, summary.matches_started, summary.leaders,
                                  summary.followers, all.to_start.count, all.to_accept.count),
                  std::make_tuple(run.expected_matches, run.expected_matches, run.expected_matches,
                                  in_matches - run.expected_matches, in_matches, in_matches));
        const Counts timed_out{{"MME_TIMEOUT_FINDING_MATCH", left_over}};
        EXPECT_EQ(summary.errors_ended, left_over == 0 ? Counts{} : timed_out);

        // Each started match was seen by exactly its members, who all read a
        // match of the hopper's size through the accessors.
        std::map<std::string, int32_t> members;
        for (const Attempt& attempt : summary.attempts) {
            if (attempt.started()) {
                const MatchRecord& match = summary.matches[attempt.match];
                ++members[match.id];
                EXPECT_EQ(match.players, run.match_size);
                EXPECT_LE(attempt.matched_ms, attempt.started_ms);
            }
        }
        EXPECT_EQ(members.size(), run.expected_matches);
        for (const auto& match : members) {
            EXPECT_EQ(match.second, run.match_size) << match.first;
        }
    }
}

// In a hopper of one every player is alone in its match, so each behaviour
// has exactly one outcome; the JSON summary carries the same figures.
// Matchmaker lines reach the caller only for the flags asked for; emulator
// lines are always counted; the last progress line shows the run done. A
// player alone hears of its match at once, so the keep-alive note is absent.
TEST(SimulationTest, BehavioursInHopperOfOne) {
    SimulationOptions options = Options(20, 1, 0.25, 0.25, 3);
    std::vector<std::string> log_lines;
    std::vector<std::string> progress;
    uint64_t emulator_lines = 0;
    options.log_flags = MMF_LOG_ERROR;
    options.on_log_line = [&](const std::string& line) { log_lines.push_back(line); };
    options.on_emulator_line = [&](const char* line) {
        emulator_lines += std::string(line).rfind("[HYE][", 0) == 0 ? 1 : 0;
    };
    options.on_progress = [&](const std::string& line) { progress.push_back(line); };
    const SimulationSummary summary = RunChecked(options);

    EXPECT_EQ(summary.behaviours, (Counts{{"accept", 10}, {"decline", 5}, {"no_answer", 5}}));
    EXPECT_EQ(summary.outcomes, (std::map<std::string, Counts>{
                                    {"accept", {{"started", 10}}},
                                    {"decline", {{"declined", 5}}},
                                    {"no_answer", {{"MME_TIMEOUT_WAITING_FOR_LOCAL_ACCEPT", 5}}}}));
    EXPECT_EQ(
        std::make_tuple(summary.leaders, summary.followers, summary.accepting_players_started),
        std::make_tuple(10u, 0u, 10u));
    EXPECT_EQ(std::make_pair(summary.keepalive_share, summary.keepalive_note),
              std::make_pair(0.0, std::string()));

    EXPECT_EQ(summary.total_errors(), 5u);
    ASSERT_EQ(log_lines.size(), summary.total_errors());
    for (const std::string& line : log_lines) {
        EXPECT_NE(line.find("[ERR]"), std::string::npos) << line;
    }
    EXPECT_EQ(summary.log_lines, log_lines.size());
    EXPECT_EQ(emulator_lines, summary.emulator_lines);
    ASSERT_FALSE(progress.empty());
    EXPECT_NE(progress.back().find("done 20/20"), std::string::npos) << progress.back();

    const std::string text = FormatSummaryJson(summary);
    hy_json* json = hy_json_parse(text.c_str(), text.size());
    ASSERT_NE(json, nullptr) << text;
    EXPECT_EQ(
        hy_json_get_integer_item(hy_json_get_item(hy_json_get_item(json, "outcomes"), "no_answer"),
                                 "MME_TIMEOUT_WAITING_FOR_LOCAL_ACCEPT"),
        5);
    const hy_json* to_start =
        hy_json_get_item(hy_json_get_item(json, "time_to_start_ms"), "leader");
    EXPECT_EQ(hy_json_get_integer_item(to_start, "count"), 10);
    EXPECT_EQ(hy_json_get_integer_item(to_start, "p50"), summary.waits[1].to_start.p50);
    EXPECT_EQ(hy_json_get_size(hy_json_get_item(json, "invariant_violations")), 0);
    hy_json_free(json);
}

// One kind of request always answered badly, in a hopper of one: each fault
// must reach the matchmaker's own handling of it, attempt after attempt.
TEST(SimulationTest, FaultsReachTheMatchmakersRecovery) {
    const struct {
        const char* fault;
        const char* outcome;  // of every attempt
        const char* injected;
        uint32_t per_attempt;  // requests of the kind answered badly
    } cases[] = {
        {"ticket:404=1", "MME_HOPPER_DOES_NOT_EXIST", "ticket 404", 1},
        {"ticket:422=1", "MME_REQUEST_TICKET_USER_PARAMS_INCORRECT", "ticket 422", 1},
        {"ticket:5xx=1", "MME_REQUEST_TICKET_SERVER_ERROR", "ticket 5xx", 1},
        {"ticket:never=1", "MME_REQUEST_TICKET_FAILED", "ticket never", 1},
        {"keepalive:5xx=1", "MME_KEEPALIVE_REQUEST_FAILED", "keepalive 5xx", 1},
        // Retrying requests try three times.
        {"accept:5xx=1", "MME_INITIAL_ACCEPT_MATCH_REQUEST_FAILED", "accept 5xx", 3},
        {"start:5xx=1", "MME_INITIAL_START_MATCH_REQUEST_FAILED", "start 5xx", 3},
        {"start:409=1", "MME_INITIAL_START_MATCH_REQUEST_FAILED", "start 409", 1},
        {"accept:slow=1", "started", "accept slow", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        SimulationOptions options = Options(3, 1);
        options.requeue = 1;
        ASSERT_EQ(ParseFaultSpec(c.fault, &options.faults), "");
        const SimulationSummary summary = RunChecked(options);
        // A failed attempt is tried once more (requeue 1), a started one not.
        const uint32_t tries = std::string(c.outcome) == "started" ? 1 : 2;
        const uint32_t attempts = 3 * tries;
        for (const PlayerResult& player : summary.player_results) {
            EXPECT_EQ(player.attempts, tries);
        }
        EXPECT_EQ(summary.attempts.size(), attempts);
        EXPECT_EQ(summary.outcomes.at("accept"), (Counts{{c.outcome, attempts}}));
        EXPECT_EQ(summary.faults_injected, (Counts{{c.injected, c.per_attempt * attempts}}));
    }

    // 504 is retried like every 5xx; the last one opens error recovery, which
    // the next successful keep-alive closes. The accept itself was lost, so
    // the accept timeout ends the attempt.
    SimulationOptions options = Options(2, 1);
    ASSERT_EQ(ParseFaultSpec("accept:504=1", &options.faults), "");
    const SimulationSummary summary = RunChecked(options);
    EXPECT_EQ(summary.faults_injected, (Counts{{"accept 504", 2 * 3u}}));
    EXPECT_EQ(std::make_tuple(summary.recoveries.opened, summary.recoveries.recovered),
              std::make_tuple(2u, 2u));
    EXPECT_EQ(summary.errors_ended, (Counts{{"MME_TIMEOUT_WAITING_FOR_OTHER_ACCEPT", 2}}));
}

// A leader whose start is refused (409) ends its attempt, while the emulator
// keeps its followers in the match (it ignores a cancel from an accepted
// client): they wait until their matchmaking timeout, shown as a group of
// their own. Their start timeout fires on the way and matchmaking goes on
// after it, so each attempt has one ending error; without a start timeout
// it never fires.
TEST(SimulationTest, FollowersOfALeaderWhoseStartFailedAreShownApart) {
    for (uint32_t start_timeout_ms : {20000u, 0u}) {
        SCOPED_TRACE(start_timeout_ms);
        SimulationOptions options = Options(40, 10);
        ASSERT_EQ(ParseFaultSpec("start:409=0.5", &options.faults), "");
        options.start_timeout_ms = start_timeout_ms;
        const SimulationSummary summary = RunChecked(options);
        uint32_t ended = 0;
        uint32_t left_waiting = 0;
        for (const Attempt& attempt : summary.attempts) {
            const auto endings = std::count_if(
                attempt.errors.begin(), attempt.errors.end(),
                [](const RaisedError& error) { return error.role == ErrorRole::kEnded; });
            EXPECT_LE(endings, 1);
            ended += static_cast<uint32_t>(endings);
            if (attempt.role == Role::kFollower && !summary.matches[attempt.match].started) {
                ++left_waiting;
                EXPECT_EQ(attempt.EndingError(), MME_TIMEOUT_FINDING_MATCH);
            }
        }
        EXPECT_EQ(TotalOf(summary.errors_ended), ended);
        EXPECT_EQ(TotalOf(summary.errors_ended) + TotalOf(summary.errors_went_on) +
                      TotalOf(summary.errors_after_end),
                  summary.total_errors());
        EXPECT_GT(left_waiting, 0u);
        EXPECT_EQ(summary.followers_left_waiting.count, left_waiting);
        EXPECT_EQ(summary.leaders + summary.followers, summary.players_in_started_matches);
        EXPECT_EQ(summary.errors_went_on,
                  start_timeout_ms == 0
                      ? Counts{}
                      : (Counts{{"MME_TIMEOUT_FOLLOWER_WAIT_FOR_JOIN_INFO", left_waiting}}));
    }
}

// The check itself: a run cut short by the safety limit names the player,
// its state and the seed.
TEST(SimulationTest, BrokenInvariantNamesPlayerStateAndSeed) {
    SimulationOptions options = Options(12, 10, 0.0, 0.0, 5);
    options.max_time_ms = 10000;
    SimulationSummary summary;
    std::string error;
    ASSERT_TRUE(RunSimulation(options, &summary, &error)) << error;

    EXPECT_EQ(std::make_tuple(summary.safety_limit_hit, summary.players_still_active),
              std::make_tuple(true, 12u));
    ASSERT_EQ(summary.invariant_violations.size(), 11u);
    const int32_t state = summary.player_results[0].final_state;
    EXPECT_NE(state, MMS_IDLE);
    EXPECT_EQ(
        summary.invariant_violations[0],
        std::string("player-1 ended in ") + krmm_matchmaking_state_to_str(state) + " (seed 5)");
    EXPECT_EQ(summary.invariant_violations[10], "and 2 more players not in MMS_IDLE (seed 5)");
    EXPECT_NE(FormatSummaryText(summary).find("ERROR: end of run: player-1"), std::string::npos);
}

}  // namespace
}  // namespace KRSimulator
