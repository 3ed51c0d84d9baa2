#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/SseParser.h"

namespace {

using halyard::SseEvent;
using halyard::SseParser;

// Every kind of line ending, a byte-order mark, a comment, multi-line data,
// an id that outlives its event, events without data, a field without a
// colon, and a last event cut off by the end of the connection.
const std::string kStream =
    "\xEF\xBB\xBF: keep-alive\r\n"
    "id: 1\r\n"
    "event: matchmaking_update\r\n"
    "data: {\"a\":1}\r\n"
    "\r\n"
    "data:first\n"
    "data:  second\n"
    "\n"
    "id: 7\r"
    "retry: 1500\r"
    "\r"
    "event: no-data\n"
    "\n"
    "data\n"
    "\n"
    "data: cut off";

const std::vector<std::vector<std::string>> kEvents = {
    {"matchmaking_update", "{\"a\":1}", "1"},
    {"message", "first\n second", "1"},
    {"message", "", "7"},
};

std::vector<std::vector<std::string>> Read(const std::vector<std::string>& chunks,
                                           SseParser* parser) {
    std::vector<SseEvent> events;
    for (const std::string& chunk : chunks) {
        parser->Feed(chunk.data(), chunk.size(), &events);
    }
    std::vector<std::vector<std::string>> read;
    for (const SseEvent& event : events) {
        read.push_back({event.type, event.data, event.id});
    }
    return read;
}

TEST(SseParser, ReadsTheSameEventsHoweverTheBytesAreSplit) {
    for (size_t split = 0; split <= kStream.size(); ++split) {
        SseParser parser;
        EXPECT_EQ(Read({kStream.substr(0, split), kStream.substr(split)}, &parser), kEvents)
            << "split at " << split;
        EXPECT_EQ(parser.lastEventId(), "7");
        EXPECT_EQ(parser.retryMs(), 1500u);
    }
    std::vector<std::string> bytes;
    for (char c : kStream) {
        bytes.emplace_back(1, c);
    }
    SseParser parser;
    EXPECT_EQ(Read(bytes, &parser), kEvents);
}

TEST(SseParser, ANewConnectionForgetsTheHalfReadEventButKeepsTheLastId) {
    SseParser parser;
    Read({kStream}, &parser);
    parser.Restart();
    // The cut-off "data: cut off" must not join the next connection's event;
    // a second connection may open with a byte-order mark of its own.
    EXPECT_EQ(Read({"\xEF\xBB\xBF"
                    "data: next\n\n"},
                   &parser),
              (std::vector<std::vector<std::string>>{{"message", "next", "7"}}));
}

TEST(SseParser, AnEventPastTheLimitStopsTheReadingUntilTheNextConnection) {
    SseParser parser;
    std::vector<SseEvent> events;
    const std::string line = "data: " + std::string(64 * 1024, 'x') + "\n";
    bool reading = true;
    size_t fed = 0;
    while (reading && fed <= 2 * SseParser::kMaxEventBytes) {
        reading = parser.Feed(line.data(), line.size(), &events);
        fed += line.size();
    }
    EXPECT_FALSE(reading);
    EXPECT_FALSE(parser.Feed("\n", 1, &events));  // the oversized event never ends
    EXPECT_TRUE(events.empty());
    parser.Restart();
    EXPECT_TRUE(parser.Feed("data: next\n\n", 12, &events));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].data, "next");
}

}  // namespace
