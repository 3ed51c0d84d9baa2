// Runs the fuzz property over edge inputs and deterministic mutations of a
// valid body, so every build checks it even where the fuzzer cannot be built.
#include <gtest/gtest.h>

#include <string>

#include "fuzz/JsonRoundTrip.h"

namespace {

bool Holds(const std::string& bytes) {
    return JsonRoundTripHolds(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool Parses(const std::string& bytes) {
    hy_json* value = hy_json_parse(bytes.data(), bytes.size());
    hy_json_free(value);
    return value != nullptr;
}

TEST(JsonCorpus, EdgeInputsAndMutationsOfAStatusBodyAreSafe) {
    const std::string body =
        "{\"matchable_id\":\"5b0e8c1a-7d2f-4e63-9a41-c3f0d2b7e815\",\"state\":2,"
        "\"match\":{\"teams\":[[\"a\",\"b\"],[\"c\"]],\"at\":\"2024-01-01T00:00:00Z\"}}";
    const std::string deep = std::string(5000, '[') + std::string(5000, ']');
    ASSERT_TRUE(Parses(body));
    EXPECT_FALSE(Parses(body + '\0'));  // the length counts, NUL included
    EXPECT_FALSE(Parses(deep));         // deeper than the parser allows
    EXPECT_TRUE(Parses("0"));           // any JSON value, scalars too
    EXPECT_TRUE(Holds(deep));
    EXPECT_TRUE(Holds("0"));
    EXPECT_TRUE(Holds("[-9223372036854775808,9223372036854775807,1e308,\"\\ud83d\\ude00\"]"));
    // Every proper prefix, and every byte replaced by each of a few troublesome ones.
    for (size_t at = 0; at < body.size(); ++at) {
        EXPECT_FALSE(Parses(body.substr(0, at))) << at;
        EXPECT_TRUE(Holds(body.substr(0, at))) << at;
        for (const char byte : {'\0', '"', '\\', '[', '}', '9', '\xff'}) {
            std::string mutated = body;
            mutated[at] = byte;
            EXPECT_TRUE(Holds(mutated)) << at << " " << static_cast<int>(byte);
        }
    }
}

}  // namespace
