#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "halyard.h"

namespace records_test {

// A 36-character backend id made of one repeated hex digit, e.g. Id('a').
inline std::string Id(char digit) {
    std::string id(36, digit);
    id[8] = id[13] = id[18] = id[23] = '-';
    return id;
}

inline std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// An object's members as raw JSON value texts, in order.
using Members = std::vector<std::pair<std::string, std::string>>;

// Sets key to the raw JSON value (replacing it if present); a null value
// removes the member.
inline Members With(Members members, const std::string& key, const char* value) {
    auto it = std::find_if(members.begin(), members.end(),
                           [&key](const auto& member) { return member.first == key; });
    if (it != members.end()) {
        it = members.erase(it);  // a replaced member keeps its place
    }
    if (value != nullptr) {
        members.emplace(it, key, value);
    }
    return members;
}

// "[e0,e1,...]" of raw JSON texts.
inline std::string ArrayText(const std::vector<std::string>& elements) {
    std::string text;
    for (const std::string& element : elements) {
        text += (text.empty() ? "" : ",") + element;
    }
    return "[" + text + "]";
}

// An array of count copies of one raw JSON text.
inline std::string Repeated(const std::string& element, int count) {
    return ArrayText(std::vector<std::string>(static_cast<size_t>(count), element));
}

inline std::string ObjectText(const Members& members) {
    std::vector<std::string> texts;
    for (const auto& member : members) {
        texts.push_back(Quoted(member.first) + ":" + member.second);
    }
    const std::string array = ArrayText(texts);
    return "{" + array.substr(1, array.size() - 2) + "}";
}

// Owns one parsed JSON value.
class Json {
public:
    explicit Json(const std::string& text) : value_(hy_json_parse(text.data(), text.size())) {}
    ~Json() { hy_json_free(value_); }
    Json(const Json&) = delete;
    Json& operator=(const Json&) = delete;
    const hy_json* get() const { return value_; }

private:
    hy_json* value_;
};

// The client library's serialized text of a JSON text.
inline std::string Serialized(const std::string& text) {
    Json json(text);
    char* serialized = hy_json_serialize(json.get(), 0);
    std::string result = serialized ? serialized : "";
    hy_free(serialized);
    return result;
}

// Ids of the status bodies: matchable, hopper, match, two group members or
// acceptors (A, B) and three match users.
inline const std::string kMatchable = Id('1');
inline const std::string kHopper = Id('2');
inline const std::string kMatchId = Id('3');
inline const std::string kA = Id('a');
inline const std::string kB = Id('b');
inline const std::string kU1 = Id('c');
inline const std::string kU2 = Id('d');
inline const std::string kU3 = Id('e');

// Sample bodies with every member: a status whose match has two teams of
// users, and a hopper.
inline std::string UserText(const std::string& identity, const char* group, double rating) {
    return ObjectText({{"identity_id", Quoted(identity)},
                       {"group_id", Quoted(group)},
                       {"attributes", ObjectText({{"name", Quoted(identity.substr(0, 4))}})},
                       {"values", ObjectText({{"bayesian_rating", std::to_string(rating)}})}});
}

inline Members MatchMembers() {
    return {{"id", Quoted(kMatchId)},
            {"params", R"({"mode":"duel"})"},
            {"join_info", R"({"server":"s1"})"},
            {"accepted", ArrayText({Quoted(kA), Quoted(kB)})},
            {"teams", ArrayText({ArrayText({UserText(kU1, "g1", 1.5), UserText(kU2, "g2", 2.5)}),
                                 ArrayText({UserText(kU3, "g3", 3.5)})})}};
}

inline Members StatusMembers(const std::string& match = ObjectText(MatchMembers())) {
    return {{"seq", "5"},
            {"matchable_id", Quoted(kMatchable)},
            {"hopper_id", Quoted(kHopper)},
            {"estimated_hopper_size", "12"},
            {"group_id", Quoted("grp")},
            {"state", Quoted("matched")},
            {"group_size", "2"},
            {"group_members_joined", ArrayText({Quoted(kA), Quoted(kB)})},
            {"match", match}};
}

inline Members HopperMembers() {
    return {{"_id", Quoted(Id('4'))},     {"name", "\"ranked duel\""},
            {"is_enabled", "true"},       {"allow_groups", "true"},
            {"expansion_time", "30"},     {"expansion_wait", "10"},
            {"maximum_wait_time", "600"}, {"players", "2"},
            {"teams", "[0.25,0.75]"},     {"rules", R"([{"k":1},"r"])"},
            {"unknown_member", "[1,2,3]"}};
}

// Parses JSON texts into one reused record; proves that a test leaves no
// JSON value or serialized text alive.
template <typename Record, bool (*ParseRecord)(const hy_json*, Record*)>
class RecordParseTest : public ::testing::Test {
protected:
    void SetUp() override { base_json_ = hyl_live_json(); }
    void TearDown() override { EXPECT_EQ(hyl_live_json(), base_json_) << "JSON blocks leaked"; }

    bool Parse(const std::string& text) {
        Json json(text);
        EXPECT_NE(json.get(), nullptr) << "test body is not JSON: " << text;
        return ParseRecord(json.get(), &record_);
    }

    // Rows of (label, body, whether it must pass): the parse result is the
    // row's verdict, and exactly the record's own.
    void CheckRules(const std::vector<std::tuple<const char*, std::string, bool>>& rows) {
        for (const auto& [label, body, valid] : rows) {
            SCOPED_TRACE(label);
            EXPECT_EQ(Parse(body), valid);
            EXPECT_EQ(record_.IsValid(), valid);
        }
    }

    Record record_;
    uint32_t base_json_ = 0;
};

}  // namespace records_test
