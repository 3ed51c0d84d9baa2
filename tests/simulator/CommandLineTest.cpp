// The simulator's command line: what it accepts, and a clear refusal for
// everything else.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "CommandLine.h"
#include "FaultOptions.h"
#include "KRMatchmakingSystem.h"
#include "emulator/Hopper.h"

namespace KRSimulator {
namespace {

struct Parsed {
    ParseOutcome outcome;
    CommandLine command_line;
    std::string error;
};

// The arguments are given as one line, split at spaces.
Parsed Parse(const std::string& line) {
    std::istringstream in(line);
    const std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
    std::vector<const char*> arguments = {"krmm_simulator"};
    for (const std::string& word : words) {
        arguments.push_back(word.c_str());
    }
    Parsed parsed;
    parsed.outcome = ParseCommandLine(static_cast<int>(arguments.size()), arguments.data(),
                                      &parsed.command_line, &parsed.error);
    return parsed;
}

// The defaults, and a hopper table that names the emulator's hoppers.
TEST(CommandLineTest, DefaultsAndHopperChoices) {
    const Parsed parsed = Parse("");
    ASSERT_EQ(parsed.outcome, ParseOutcome::kRun) << parsed.error;
    const CommandLine& cl = parsed.command_line;
    EXPECT_EQ(std::make_tuple(cl.options.players, cl.options.log_flags, cl.json, cl.emulator_log),
              std::make_tuple(20u, 0u, false, false));
    EXPECT_EQ(KRHalyardEmulator::HopperMatchSize(cl.options.hopper_id), 10);
    // The choices are the emulator's three hoppers, by size and by id.
    std::vector<int32_t> sizes;
    for (const HopperChoice& hopper : KnownHoppers()) {
        sizes.push_back(static_cast<int32_t>(hopper.match_size));
        const std::string size = std::to_string(hopper.match_size);
        for (const char* choice : {size.c_str(), hopper.id}) {
            const Parsed chosen = Parse(std::string("--hopper ") + choice);
            ASSERT_EQ(chosen.outcome, ParseOutcome::kRun) << chosen.error;
            EXPECT_EQ(chosen.command_line.options.hopper_id, hopper.id);
        }
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<int32_t>{1, 2, 10}));

    // Nine players cannot fill a match of ten: the run goes ahead, with a
    // warning; ten can.
    const std::vector<std::string> warnings =
        OptionWarnings(Parse("--players 9").command_line.options);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("(match size 10)"), std::string::npos) << warnings[0];
    EXPECT_TRUE(OptionWarnings(Parse("--players 10").command_line.options).empty());
}

TEST(CommandLineTest, ValuesAreTakenInBothSpellings) {
    const Parsed parsed = Parse(
        "--players 300 --decline=0.25 --no-answer 0.5 --seed 18446744073709551615 "
        "--join-spread 1.5 --matchmaking-timeout=0 --frame-ms 50 --log info,error --json "
        "--emulator-log --auto-start --quiet --requeue 3 --think=0.5 --faults flaky "
        "--fault start:409=0.25 --csv a.csv --events=e.jsonl --report r.html --heartbeat 0.25 "
        "--record-player 7 p7.json --accept-timeout 0 --start-timeout=7.5 --wall-time");
    ASSERT_EQ(parsed.outcome, ParseOutcome::kRun) << parsed.error;
    const CommandLine& cl = parsed.command_line;
    // Fractions of a quarter and a half are exact in binary.
    EXPECT_EQ(std::make_tuple(cl.options.decline_fraction, cl.options.no_answer_fraction,
                              cl.options.seed),
              std::make_tuple(0.25, 0.5, 18446744073709551615ull));
    EXPECT_EQ(std::make_tuple(cl.options.players, cl.options.join_spread_ms,
                              cl.options.matchmaking_timeout_ms, cl.options.frame_ms,
                              cl.options.log_flags, cl.options.requeue, cl.options.think_ms,
                              cl.options.heartbeat_ms, cl.options.record_player,
                              cl.options.accept_timeout_ms, cl.options.start_timeout_ms),
              std::make_tuple(300u, 1500u, 0u, 50u, MMF_LOG_INFO | MMF_LOG_ERROR, 3u, 500u, 250u,
                              7u, 0u, 7500u));
    EXPECT_EQ(
        std::make_tuple(cl.options.auto_start, cl.json, cl.emulator_log, cl.quiet, cl.wall_time),
        std::make_tuple(true, true, true, true, true));
    EXPECT_EQ(FaultRuleTexts(cl.options.faults),
              (std::vector<std::string>{"all:5xx=0.05", "all:504=0.03", "all:400=0.01",
                                        "all:404=0.01", "all:slow=0.1", "start:409=0.25"}));
    EXPECT_EQ(std::make_tuple(cl.csv_file, cl.events_file, cl.report_file, cl.record_file),
              std::make_tuple("a.csv", "e.jsonl", "r.html", "p7.json"));
}

TEST(CommandLineTest, LogFlagsByNumberOrName) {
    const struct {
        const char* text;
        bool ok;
        uint32_t flags;
    } cases[] = {
        {"0xF0", true, 0xF0}, {"0", true, 0},
        {"all", true, 0xFF},  {"hy-errors,ts-info", true, MMF_LOG_HY_ERRORS | MMF_LOG_TS_INFO},
        {"0x100", false, 0},  {"info,loud", false, 0},
        {"", false, 0},       {"info,", true, MMF_LOG_INFO},  // a trailing comma adds nothing
        {"12abc", false, 0},
    };
    for (const auto& c : cases) {
        uint32_t flags = 0xDEAD;  // a refused text leaves it alone
        const bool ok = ParseLogFlags(c.text, &flags);
        EXPECT_EQ(std::make_pair(ok, flags), std::make_pair(c.ok, c.ok ? c.flags : 0xDEADu))
            << c.text;
    }
}

TEST(CommandLineTest, HelpWinsOverEverythingElse) {
    EXPECT_EQ(Parse("--players 5 --help").outcome, ParseOutcome::kHelp);
    EXPECT_EQ(Parse("-h").outcome, ParseOutcome::kHelp);
    const std::string usage = UsageText("krmm_simulator");
    for (const char* option :
         {"--players", "--hopper", "--decline", "--no-answer", "--seed", "--log", "--emulator-log",
          "--json", "--real-time", "--requeue", "--fault KIND:WHAT=P", "flaky", "outage", "--csv",
          "--events", "--report", "final_state,error", "--record-player N FILE"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

struct BadCase {
    const char* arguments;
    const char* complaint;  // part of the error text
};

TEST(CommandLineTest, BadOptionsAreRefusedWithTheReason) {
    const BadCase cases[] = {
        {"--players 0", "--players '0'"},
        {"--players 100001", "from 1 to 100000"},
        {"--requeue 101", "from 0 to 100"},
        {"--heartbeat 0", "leave it out for the library's 17 s"},
        {"--heartbeat 0.016", "longer than a frame (16 ms)"},
        {"--frame-ms 50 --heartbeat 0.05", "longer than a frame (50 ms)"},
        {"--join-spread 90000", "from 0 to 86400"},
        {"--fault keepalive:5xx", "expects KIND:WHAT=P"},
        {"--fault lobby:5xx=0.1", "unknown request kind 'lobby'"},
        {"--fault all:teapot=0.1", "unknown fault 'teapot'"},
        {"--fault accept:600=0.1", "unknown fault '600'"},
        {"--fault accept:slow=2", "must be from 0 to 1"},
        {"--fault accept:5xx=0.6 --fault all:never=0.5", "accept requests add up"},
        {"--faults stormy", "none, flaky, outage"},
        {"--csv", "--csv needs a value"},
        {"--players 3 --record-player 4 p.json", "number of players (3)"},
        {"--record-player 0 p.json", "--record-player '0 p.json': expects a player"},
        {"--record-player 2", "--record-player needs a value (N FILE)"},
        {"--players twenty", "--players 'twenty'"},
        {"--hopper 3", "--hopper '3'"},
        {"--hopper 00000000-0000-4000-8000-000000000000", "hopper ids"},
        {"--decline 1.5", "--decline"},
        {"--no-answer nan", "--no-answer"},
        {"--decline 0.6 --no-answer 0.5", "more than 1"},
        {"--seed 1e3", "--seed"},
        {"--log chatty", "--log 'chatty'"},
        {"--max-time 0", "--max-time"},
        {"--join-spread -1", "--join-spread"},
        {"--json=yes", "--json takes no value"},
        {"--playerz 5", "unknown option '--playerz'"},
    };
    for (const BadCase& c : cases) {
        const Parsed parsed = Parse(c.arguments);
        EXPECT_EQ(parsed.outcome, ParseOutcome::kError) << c.complaint;
        EXPECT_NE(parsed.error.find(c.complaint), std::string::npos)
            << "error was: " << parsed.error;
    }
}

}  // namespace
}  // namespace KRSimulator
