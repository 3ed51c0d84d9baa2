#pragma once

#include <gtest/gtest.h>

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
    for (auto it = members.begin(); it != members.end(); ++it) {
        if (it->first == key) {
            if (value == nullptr) {
                members.erase(it);
            } else {
                it->second = value;
            }
            return members;
        }
    }
    if (value != nullptr) {
        members.emplace_back(key, value);
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

// Proves that a test leaves no JSON value or serialized text alive.
class JsonLeakTest : public ::testing::Test {
protected:
    void SetUp() override { base_json_ = hyl_live_json(); }
    void TearDown() override { EXPECT_EQ(hyl_live_json(), base_json_) << "JSON blocks leaked"; }

private:
    uint32_t base_json_ = 0;
};

// Parses JSON texts into one reused record.
template <typename Record, bool (*ParseRecord)(const hy_json*, Record*)>
class RecordParseTest : public JsonLeakTest {
protected:
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
};

}  // namespace records_test
