// A fault-heavy run and the files it writes: the run must end with every
// player idle, and CSV rows, event lines and the HTML report must carry what
// the summary holds, in a form other programs can read.

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "CheckedRun.h"
#include "CsvOutput.h"
#include "EventsOutput.h"
#include "FaultOptions.h"
#include "HtmlReport.h"
#include "Simulation.h"
#include "halyard.h"

#ifdef KRMM_HAVE_EXPAT
#include <expat.h>
#endif

namespace KRSimulator {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) {
        parts.push_back(part);
    }
    if (!text.empty() && text.back() == separator) {
        parts.emplace_back();
    }
    return parts;
}

// A backend falling over, with requeues: every outcome turns up (started,
// declined, timed out, ended by errors). Coarse frames and short timeouts
// keep it quick under the sanitizers.
SimulationOptions OutageOptions(uint64_t seed) {
    SimulationOptions options = Options(200, 2, 0.1, 0.1, seed);
    options.requeue = 2;
    ApplyFaultPreset("outage", &options.faults);
    options.frame_ms = 100;
    options.heartbeat_ms = 4000;
    options.matchmaking_timeout_ms = 40000;
    options.give_up_ms = 10000;
    return options;
}

const SimulationSummary& FaultyRun() {
    static const SimulationSummary summary = RunChecked(OutageOptions(1));
    return summary;
}

std::string CsvAndEvents(const SimulationSummary& summary) {
    std::ostringstream out;
    WriteCsv(summary, out);
    WriteEvents(summary, out);
    return out.str();
}

// Seed after seed the run ends with every player idle and nothing left
// alive. The same seed repeats it exactly, to the last event; another seed
// does not.
TEST(OutputsTest, EndOfRunInvariantHoldsThroughAnOutage) {
    std::vector<std::string> files;
    for (uint64_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const SimulationSummary summary = seed == 1 ? FaultyRun() : RunChecked(OutageOptions(seed));
        EXPECT_FALSE(summary.safety_limit_hit);
        EXPECT_EQ(summary.final_states, (std::map<std::string, uint32_t>{{"MMS_IDLE", 200}}));
        EXPECT_GT(summary.total_faults(), 1000u);
        EXPECT_GT(summary.matches_started, 0u);
        files.push_back(CsvAndEvents(summary));
    }
    EXPECT_EQ(CsvAndEvents(RunChecked(OutageOptions(1))), files[0]);
    EXPECT_NE(files[1], files[0]);
}

TEST(OutputsTest, CsvHasOneConsistentRowPerAttemptAndEventsOneJsonLineEach) {
    const SimulationSummary& summary = FaultyRun();
    std::ostringstream out;
    WriteCsv(summary, out);
    std::vector<std::string> lines = Split(out.str(), '\n');
    ASSERT_EQ(lines.back(), "");  // the last row ends its line
    lines.pop_back();
    ASSERT_EQ(lines.size(), summary.attempts.size() + 1);
    const std::vector<std::string> header = Split(lines[0], ',');
    EXPECT_EQ(header, (std::vector<std::string>{"player", "attempt", "behaviour", "joined",
                                                "ticket", "matched", "accepted", "started", "role",
                                                "final_state", "error"}));
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> row = Split(lines[i], ',');
        ASSERT_EQ(row.size(), header.size()) << lines[i];
        const Attempt& attempt = summary.attempts[i - 1];
        EXPECT_EQ(row[0], std::to_string(attempt.player + 1));
        EXPECT_EQ(row[1], std::to_string(attempt.number));
        // A started attempt was matched first and ended without an error;
        // one that was not has an empty start.
        EXPECT_EQ(row[7].empty(), !attempt.started()) << lines[i];
        if (attempt.started()) {
            EXPECT_FALSE(row[5].empty()) << lines[i];
            EXPECT_EQ(row[9], "MMS_MATCH_STARTED") << lines[i];
            EXPECT_EQ(row[10], "") << lines[i];
        }
        EXPECT_TRUE(row[4].empty() || row[4].size() == 36) << lines[i];
    }

    // Event lines are JSON, in time order.
    std::ostringstream events;
    WriteEvents(summary, events);
    lines = Split(events.str(), '\n');
    ASSERT_EQ(lines.size(), summary.events.size() + 1);  // trailing newline
    double previous = 0.0;
    for (std::size_t i = 0; i < summary.events.size(); ++i) {
        hy_json* event = hy_json_parse(lines[i].c_str(), lines[i].size());
        ASSERT_NE(event, nullptr) << lines[i];
        const double t = hy_json_get_double_item(event, "t");
        EXPECT_GE(t, previous);
        previous = t;
        EXPECT_EQ(hy_json_get_integer_item(event, "player"),
                  static_cast<int32_t>(summary.events[i].player + 1));
        EXPECT_EQ(std::string(hy_json_get_string_item(event, "state")).rfind("MMS_", 0), 0u);
        hy_json_free(event);
    }
}

TEST(OutputsTest, ReportIsWellFormedAndSelfContained) {
#ifndef KRMM_HAVE_EXPAT
    GTEST_SKIP() << "built without expat";
#else
    const SimulationSummary& summary = FaultyRun();
    std::ostringstream out;
    WriteHtmlReport(summary, out);
    const std::string html = out.str();

    struct ReportShape {
        std::vector<std::string> ids;
        std::map<std::string, int> elements;
        std::map<std::string, int> attributes;
        std::string text;
    } shape;
    XML_Parser parser = XML_ParserCreate("UTF-8");
    XML_SetUserData(parser, &shape);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            ReportShape& shape = *static_cast<ReportShape*>(data);
            ++shape.elements[name];
            for (int i = 0; attributes[i] != nullptr; i += 2) {
                ++shape.attributes[attributes[i]];
                if (std::string(attributes[i]) == "id") {
                    shape.ids.push_back(attributes[i + 1]);
                }
            }
        },
        [](void*, const XML_Char*) {});
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
        static_cast<ReportShape*>(data)->text.append(text, static_cast<std::size_t>(length));
    });
    const bool parsed =
        XML_Parse(parser, html.c_str(), static_cast<int>(html.size()), 1) == XML_STATUS_OK;
    EXPECT_TRUE(parsed) << XML_ErrorString(XML_GetErrorCode(parser)) << " at line "
                        << XML_GetCurrentLineNumber(parser);
    XML_ParserFree(parser);

    EXPECT_EQ(shape.ids,
              (std::vector<std::string>{"histogram", "timeline", "errors", "faults", "summary"}));
    EXPECT_EQ(shape.elements["svg"], 2);
    EXPECT_EQ(shape.elements["polygon"], 5);  // one area per state group
    // Nothing that would load or run something from elsewhere.
    for (const char* name : {"script", "link", "img", "iframe", "object"}) {
        EXPECT_EQ(shape.elements.count(name), 0u) << name;
    }
    EXPECT_EQ(shape.attributes.count("src") + shape.attributes.count("href"), 0u);
    // The error table and the summary carry the run's own figures.
    ASSERT_FALSE(summary.errors_ended.empty());
    const auto& first_error = *summary.errors_ended.begin();
    EXPECT_NE(shape.text.find(first_error.first + std::to_string(first_error.second)),
              std::string::npos);
    EXPECT_NE(shape.text.find("200 players"), std::string::npos);
    EXPECT_NE(shape.text.find("every player in MMS_IDLE"), std::string::npos);
#endif
}

}  // namespace
}  // namespace KRSimulator
