#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "RecordsFuzz.h"
#include "RecordsTestUtil.h"

namespace {

using namespace records_test;

// The swaps most likely to slip past a type check: null, a negative and an
// over-32-bit number, a text, an object and an array holding null. Byte-level
// mutation is left to the fuzz smoke run over the seed corpus.
const char* const kSwaps[] = {"null", "-1", "2147483648", "\"x\"", "{}", "[null]"};

// Every member of members replaced, one at a time, by every swap value and
// by its removal; wrap() turns the mangled object into a whole body.
template <typename Wrap>
void AddTypeSwaps(const Members& members, Wrap wrap, std::vector<std::string>* corpus) {
    for (const auto& member : members) {
        corpus->push_back(wrap(ObjectText(With(members, member.first, nullptr))));
        for (const char* swap : kSwaps) {
            corpus->push_back(wrap(ObjectText(With(members, member.first, swap))));
        }
    }
}

std::vector<std::string> Corpus() {
    std::vector<std::string> corpus = {"", "null", "[]", "7"};
    auto as_is = [](const std::string& body) { return body; };
    AddTypeSwaps(StatusMembers(), as_is, &corpus);
    AddTypeSwaps(HopperMembers(), as_is, &corpus);
    AddTypeSwaps(
        MatchMembers(), [](const std::string& m) { return ObjectText(StatusMembers(m)); }, &corpus);
    // Every truncation of both valid bodies.
    for (const std::string& body : {ObjectText(StatusMembers()), ObjectText(HopperMembers())}) {
        for (size_t length = 0; length <= body.size(); ++length) {
            corpus.push_back(body.substr(0, length));
        }
    }
    return corpus;
}

TEST(RecordsFuzzTest, MangledBodiesKeepEveryRecordInvariant) {
    // Bodies that are no JSON, valid and invalid statuses, valid hoppers.
    size_t reached[4] = {};
    for (const std::string& body : Corpus()) {
        FuzzOutcome outcome;
        const char* broken = CheckRecordParsers(reinterpret_cast<const uint8_t*>(body.data()),
                                                body.size(), &outcome);
        ASSERT_EQ(broken, nullptr) << broken << "\nfor body: " << body;
        reached[0] += outcome.json_parsed ? 0 : 1;
        reached[outcome.status_valid ? 1 : 2] += outcome.json_parsed ? 1 : 0;
        reached[3] += outcome.hopper_valid ? 1 : 0;
    }
    // The corpus reaches the null body, both verdicts and both parsers' valid paths.
    EXPECT_GT(reached[0], 1000u);
    EXPECT_GT(reached[1], 50u);
    EXPECT_GT(reached[2], 100u);
    EXPECT_GT(reached[3], 40u);
}

}  // namespace
