#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "RecordsFuzz.h"
#include "RecordsTestUtil.h"

namespace {

using namespace records_test;

// Values of every JSON type, and numbers at the edges of 32 bits.
const char* const kSwaps[] = {"null",  "true", "0",      "-1",        "2147483648", "-2147483649",
                              "1e300", "0.5",  "\"\"",   "\"x\"",     "[]",         "{}",
                              "[[]]",  "[{}]", "[null]", "[\"aaaa\"]"};

Members UserMembers() {
    return {{"identity_id", Quoted(Id('c'))},
            {"group_id", "\"g\""},
            {"attributes", R"({"lvl":3})"},
            {"values", R"({"bayesian_rating":1.5})"}};
}

Members MatchMembers(const std::string& teams) {
    return {{"id", Quoted(Id('3'))},
            {"params", R"({"mode":"duel"})"},
            {"join_info", R"({"server":"s1"})"},
            {"accepted", ArrayText({Quoted(Id('a')), Quoted(Id('b'))})},
            {"teams", teams}};
}

std::string Teams(const std::string& user) {
    return ArrayText({ArrayText({user, user}), "[]"});
}

Members StatusMembers(const std::string& match) {
    return {{"seq", "9"},
            {"matchable_id", Quoted(Id('1'))},
            {"hopper_id", Quoted(Id('2'))},
            {"estimated_hopper_size", "4"},
            {"group_id", "\"g\""},
            {"state", "\"accepted\""},
            {"group_size", "2"},
            {"group_members_joined", ArrayText({Quoted(Id('a')), Quoted(Id('b'))})},
            {"match", match}};
}

Members HopperMembers() {
    return {{"_id", Quoted(Id('4'))},     {"name", "\"duel\""},    {"is_enabled", "true"},
            {"allow_groups", "false"},    {"expansion_time", "1"}, {"expansion_wait", "2"},
            {"maximum_wait_time", "3"},   {"players", "2"},        {"teams", "[0.5,0.5]"},
            {"rules", R"([{"k":1},"r"])"}};
}

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
    const std::string user = ObjectText(UserMembers());
    const std::string match = ObjectText(MatchMembers(Teams(user)));
    const std::string status = ObjectText(StatusMembers(match));
    const std::string hopper = ObjectText(HopperMembers());
    std::vector<std::string> corpus = {status, hopper, "", "null", "[]", "{}", "7", "\"x\""};

    AddTypeSwaps(
        StatusMembers(match), [](const std::string& s) { return s; }, &corpus);
    AddTypeSwaps(
        HopperMembers(), [](const std::string& s) { return s; }, &corpus);
    AddTypeSwaps(
        MatchMembers(Teams(user)),
        [](const std::string& m) { return ObjectText(StatusMembers(m)); }, &corpus);
    AddTypeSwaps(
        UserMembers(),
        [](const std::string& u) {
            return ObjectText(StatusMembers(ObjectText(MatchMembers(Teams(u)))));
        },
        &corpus);
    // Arrays where objects belong, and objects where arrays belong.
    corpus.push_back(ObjectText(StatusMembers(ArrayText({match}))));
    corpus.push_back(ObjectText(StatusMembers(ObjectText(MatchMembers(ArrayText({user}))))));
    corpus.push_back(ObjectText(StatusMembers(ObjectText(MatchMembers(R"({"t":[{}]})")))));
    corpus.push_back(ArrayText({status}));

    // Every truncation of both valid bodies.
    for (const std::string* body : {&status, &hopper}) {
        for (size_t length = 0; length < body->size(); ++length) {
            corpus.push_back(body->substr(0, length));
        }
    }
    // Deterministic byte mutations: a fixed linear congruential sequence.
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    const char replacements[] = "\0\"{}[]:,-0123456789aeflnrstu\\ ";
    for (int round = 0; round < 1500; ++round) {
        std::string body = (round % 2 == 0) ? status : hopper;
        const int edits = 1 + static_cast<int>(next() % 3);
        for (int e = 0; e < edits; ++e) {
            body[next() % body.size()] = replacements[next() % (sizeof replacements - 1)];
        }
        corpus.push_back(body);
    }
    return corpus;
}

TEST(RecordsFuzzTest, MangledBodiesKeepEveryRecordInvariant) {
    const std::vector<std::string> corpus = Corpus();
    FuzzOutcome outcome;
    size_t unparsable = 0;
    size_t valid_status = 0;
    size_t invalid_status = 0;
    size_t valid_hopper = 0;
    for (const std::string& body : corpus) {
        const char* broken = CheckRecordParsers(reinterpret_cast<const uint8_t*>(body.data()),
                                                body.size(), &outcome);
        ASSERT_EQ(broken, nullptr) << broken << "\nfor body: " << body;
        unparsable += outcome.json_parsed ? 0 : 1;
        if (outcome.json_parsed) {
            (outcome.status_valid ? valid_status : invalid_status) += 1;
        }
        valid_hopper += outcome.hopper_valid ? 1 : 0;
    }
    // The corpus reaches the null body, both verdicts and both parsers' valid paths.
    EXPECT_GT(unparsable, 100u);
    EXPECT_GT(valid_status, 100u);
    EXPECT_GT(invalid_status, 100u);
    EXPECT_GT(valid_hopper, 50u);
}

}  // namespace
