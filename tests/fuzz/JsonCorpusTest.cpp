// Runs the fuzz property over a fixed corpus, so every build checks it even
// where the fuzzer itself cannot be built.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz/JsonRoundTrip.h"

namespace {

struct Sample {
    std::string bytes;
    bool parses;
};

bool Parses(const std::string& bytes) {
    hy_json* value = hy_json_parse(bytes.data(), bytes.size());
    hy_json_free(value);
    return value != nullptr;
}

std::string Nested(int depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

TEST(JsonCorpus, MalformedInputIsRefusedAndWellFormedInputRoundTrips) {
    using namespace std::string_literals;
    const std::vector<Sample> corpus = {
        {"", false},
        {" ", false},
        {"{", false},
        {"}", false},
        {"[1,", false},
        {"[1,]", false},
        {"{\"a\":}", false},
        {"{\"a\" 1}", false},
        {"{a:1}", false},
        {"{'a':1}", false},
        {"\"unterminated", false},
        {"\"bad escape \\q\"", false},
        {"\"\\u12\"", false},
        {"nul", false},
        {"tru", false},
        {"-", false},
        {"01", false},
        {"1.", false},
        {".5", false},
        {"1e", false},
        {"NaN", false},
        {"Infinity", false},
        {"1e999", false},                           // real out of range
        {"123456789012345678901234567890", false},  // integer out of range
        {"{} x", false},
        {"[1] [2]", false},
        {"\"\xff\"", false},          // not UTF-8
        {"\"\xc3\"", false},          // cut UTF-8 sequence
        {"\"\\u0000\"", false},       // no NUL inside texts
        {"{\"a\":\"b\0\"}"s, false},  // raw NUL byte
        {"[1]\0"s, false},
        {"\"\\ud800\"", false},  // lone surrogate
        {"\"tab\there\"", false},
        {Nested(5000), false},  // deeper than the parser allows
        {"{\"a\":1,\"a\":2}", true},
        {"[]", true},
        {"{}", true},
        {"0", true},
        {"-0.0", true},
        {"1e308", true},
        {"\"\\ud83d\\ude00\"", true},
        {"\"caf\xc3\xa9\"", true},
        {"[null,true,false,-9223372036854775808,9223372036854775807]", true},
        {"{\"a\":[{\"b\":{\"c\":[1.25,\"x\"]}}],\"z\":\"2024-01-01T00:00:00Z\"}", true},
        {"  \n\t{ \"spaced\" : [ 1 , 2 ] }\r\n", true},
        {Nested(100), true},
    };
    for (const Sample& sample : corpus) {
        const std::string shown = sample.bytes.substr(0, 40);
        EXPECT_EQ(Parses(sample.bytes), sample.parses) << shown;
        EXPECT_TRUE(JsonRoundTripHolds(reinterpret_cast<const uint8_t*>(sample.bytes.data()),
                                       sample.bytes.size()))
            << shown;
    }
}

TEST(JsonCorpus, EveryPrefixOfADocumentIsSafe) {
    const std::string document =
        "{\"matchable_id\":\"5b0e8c1a-7d2f-4e63-9a41-c3f0d2b7e815\",\"state\":2,"
        "\"match\":{\"teams\":[[\"a\",\"b\"],[\"c\"]],\"at\":1700000000}}";
    for (size_t length = 0; length <= document.size(); ++length) {
        EXPECT_TRUE(JsonRoundTripHolds(reinterpret_cast<const uint8_t*>(document.data()), length))
            << length;
        EXPECT_EQ(Parses(document.substr(0, length)), length == document.size()) << length;
    }
}

}  // namespace
