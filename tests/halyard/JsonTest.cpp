#include <limits>
#include <vector>

#include "HalyardTest.h"

namespace {

using JsonTest = HalyardTest;

TEST_F(JsonTest, AttachedValuesKeepTheirHandleAndBelongToTheParent) {
    hy_json* root = hy_json_new_object();
    hy_json* list = hy_json_new_array();
    hy_json* inner = hy_json_new_object();
    const uint32_t jsonWithValues = hyl_live_json();

    ASSERT_EQ(hy_json_set_key(root, "list", list), 0);
    ASSERT_EQ(hy_json_append_value(list, inner), 0);
    // Still usable after being handed over: the handles stay the same nodes.
    ASSERT_EQ(hy_json_set_string_key(inner, "name", "ann"), 0);
    ASSERT_EQ(hy_json_append_string_value(list, "tail"), 0);
    ASSERT_EQ(hy_json_set_integer_key(root, "count", 2), 0);

    EXPECT_EQ(hy_json_get_item(root, "list"), list);
    EXPECT_EQ(hy_json_get_value(list, 0), inner);
    EXPECT_EQ(Text(root), R"({"list":[{"name":"ann"},"tail"],"count":2})");
    EXPECT_GT(hyl_live_json(), jsonWithValues);

    // Freeing the root alone releases everything attached to it (TearDown
    // checks that nothing is left).
    hy_json_free(root);
}

TEST_F(JsonTest, ReplacingAMemberReleasesTheOldValue) {
    hy_json* root = hy_json_new_object();
    ASSERT_EQ(hy_json_set_key(root, "a", Parse(R"({"deep":[1,2,3]})")), 0);
    ASSERT_EQ(hy_json_set_string_key(root, "a", "flat"), 0);
    EXPECT_EQ(Text(root), R"({"a":"flat"})");
    hy_json_free(root);
}

TEST_F(JsonTest, FailedAttachStillTakesTheValue) {
    hy_json* object = hy_json_new_object();
    hy_json* array = hy_json_new_array();

    EXPECT_EQ(hy_json_set_key(array, "k", hy_json_new_object()), -1);
    EXPECT_EQ(hy_json_set_key(object, nullptr, hy_json_new_array()), -1);
    EXPECT_EQ(hy_json_append_value(object, Parse("[1]")), -1);
    EXPECT_EQ(hy_json_set_key(nullptr, "k", hy_json_new_object()), -1);
    EXPECT_EQ(hy_json_set_key(object, "k", nullptr), -1);
    EXPECT_EQ(hy_json_set_string_key(object, "k", nullptr), -1);
    EXPECT_EQ(hy_json_append_string_value(array, nullptr), -1);
    EXPECT_EQ(hy_json_append_string_value(object, "x"), -1);
    // Not valid UTF-8: refused rather than stored.
    EXPECT_EQ(hy_json_set_string_key(object, "k", "\xff\xfe"), -1);

    // A value can not be put inside itself; the caller keeps it.
    EXPECT_EQ(hy_json_set_key(object, "self", object), -1);
    EXPECT_EQ(hy_json_append_value(array, array), -1);
    EXPECT_EQ(Text(object), "{}");
    EXPECT_EQ(Text(array), "[]");

    hy_json_free(object);
    hy_json_free(array);
}

TEST_F(JsonTest, CloneIsADeepIndependentCopy) {
    hy_json* original = Parse(R"({"team":["a","b"],"n":1})");
    hy_json* copy = hy_json_clone(original);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, original);

    hy_json_append_string_value(hy_json_get_item(original, "team"), "c");
    hy_json_set_integer_key(original, "n", 7);
    hy_json_free(original);

    EXPECT_EQ(Text(copy), R"({"team":["a","b"],"n":1})");
    hy_json_free(copy);
    EXPECT_EQ(hy_json_clone(nullptr), nullptr);
}

TEST_F(JsonTest, ReadsOfAbsentOrMistypedMembersGiveNeutralValues) {
    hy_json* doc =
        Parse(R"({"s":"text","i":5,"r":2.5,"t":true,"f":false,"z":null,"a":[1,"two"],"o":{}})");
    ASSERT_NE(doc, nullptr);

    EXPECT_STREQ(hy_json_get_string_item(doc, "s"), "text");
    EXPECT_EQ(hy_json_get_string_item(doc, "i"), nullptr);
    EXPECT_EQ(hy_json_get_string_item(doc, "missing"), nullptr);

    EXPECT_EQ(hy_json_get_integer_item(doc, "i"), 5);
    EXPECT_EQ(hy_json_get_integer_item(doc, "r"), 0);  // a real is not an integer
    EXPECT_EQ(hy_json_get_integer_item(doc, "s"), 0);
    EXPECT_EQ(hy_json_get_integer_item(doc, "t"), 0);

    EXPECT_DOUBLE_EQ(hy_json_get_double_item(doc, "r"), 2.5);
    EXPECT_DOUBLE_EQ(hy_json_get_double_item(doc, "i"), 5.0);  // integers are numbers
    EXPECT_DOUBLE_EQ(hy_json_get_double_item(doc, "s"), 0.0);
    EXPECT_DOUBLE_EQ(hy_json_get_double_item(doc, "missing"), 0.0);

    EXPECT_TRUE(hy_json_is_true(hy_json_get_item(doc, "t")));
    EXPECT_FALSE(hy_json_is_true(hy_json_get_item(doc, "f")));
    EXPECT_FALSE(hy_json_is_true(hy_json_get_item(doc, "i")));
    EXPECT_FALSE(hy_json_is_true(hy_json_get_item(doc, "missing")));

    const hy_json* array = hy_json_get_item(doc, "a");
    EXPECT_EQ(hy_json_get_size(array), 2);
    EXPECT_EQ(hy_json_get_size(doc), 0);
    EXPECT_EQ(hy_json_get_size(hy_json_get_item(doc, "s")), 0);
    EXPECT_STREQ(hy_json_get_string(hy_json_get_value(array, 1)), "two");
    EXPECT_EQ(hy_json_get_string(hy_json_get_value(array, 0)), nullptr);
    EXPECT_DOUBLE_EQ(hy_json_get_double(hy_json_get_value(array, 0)), 1.0);
    EXPECT_DOUBLE_EQ(hy_json_get_double(hy_json_get_value(array, 1)), 0.0);
    EXPECT_EQ(hy_json_get_value(array, 2), nullptr);
    EXPECT_EQ(hy_json_get_value(array, -1), nullptr);
    EXPECT_EQ(hy_json_get_value(doc, 0), nullptr);
    // Members of a non-object are absent.
    EXPECT_EQ(hy_json_get_item(array, "s"), nullptr);
    EXPECT_EQ(hy_json_get_string_item(hy_json_get_item(doc, "s"), "s"), nullptr);
    EXPECT_EQ(hy_json_get_item(doc, nullptr), nullptr);
    EXPECT_NE(hy_json_get_item(doc, "z"), nullptr);  // present, even if JSON null

    // Null handles are treated as absent values.
    EXPECT_EQ(hy_json_get_item(nullptr, "s"), nullptr);
    EXPECT_EQ(hy_json_get_integer_item(nullptr, "i"), 0);
    EXPECT_EQ(hy_json_get_size(nullptr), 0);
    EXPECT_EQ(hy_json_get_string(nullptr), nullptr);
    EXPECT_FALSE(hy_json_is_true(nullptr));
    hy_json_free(nullptr);

    hy_json_free(doc);
}

TEST_F(JsonTest, IntegerReadsKeepTheLow32Bits) {
    struct Case {
        const char* json;
        int32_t expected;
    };
    const std::vector<Case> cases = {
        {R"({"v":2147483647})", 2147483647},
        {R"({"v":-2147483648})", std::numeric_limits<int32_t>::min()},
        {R"({"v":2147483648})", std::numeric_limits<int32_t>::min()},
        {R"({"v":4294967297})", 1},
        {R"({"v":-1})", -1},
        {R"({"v":-4294967296})", 0},
        {R"({"v":1099511627781})", 5},  // 2^40 + 5
    };
    for (const Case& c : cases) {
        hy_json* doc = Parse(c.json);
        ASSERT_NE(doc, nullptr) << c.json;
        EXPECT_EQ(hy_json_get_integer_item(doc, "v"), c.expected) << c.json;
        hy_json_free(doc);
    }

    // Writing keeps all 64 bits.
    hy_json* doc = hy_json_new_object();
    hy_json_set_integer_key(doc, "big", 9007199254740993LL);
    hy_json_set_integer_key(doc, "low", std::numeric_limits<int64_t>::min());
    EXPECT_EQ(Text(doc), R"({"big":9007199254740993,"low":-9223372036854775808})");
    hy_json_free(doc);
}

TEST_F(JsonTest, DatetimeReadsIntegersAndUtcTimestampTexts) {
    struct Case {
        const char* value;
        int64_t expected;
    };
    const std::vector<Case> cases = {
        {"1700000000", 1700000000},
        {"-5", -5},
        {"8589934592", 8589934592LL},  // integers are not truncated here
        {R"("1970-01-01T00:00:00Z")", 0},
        {R"("1969-12-31T23:59:59Z")", -1},
        {R"("2000-02-29T12:34:56Z")", 951827696},
        {R"("1900-03-01T00:00:00Z")", -2203891200LL},
        {R"("2024-12-31T23:59:59Z")", 1735689599},
        {R"("2038-01-19T03:14:08Z")", 2147483648LL},
        // Not the one accepted form, or not a real instant.
        {R"("2023-02-29T00:00:00Z")", 0},
        {R"("1900-02-29T00:00:00Z")", 0},
        {R"("2024-04-31T00:00:00Z")", 0},
        {R"("2024-13-01T00:00:00Z")", 0},
        {R"("2024-00-10T00:00:00Z")", 0},
        {R"("2024-01-01T24:00:00Z")", 0},
        {R"("2024-01-01T00:60:00Z")", 0},
        {R"("2024-01-01 00:00:00Z")", 0},
        {R"("2024-01-01T00:00:00")", 0},
        {R"("2024-01-01T00:00:00+00:00")", 0},
        {R"("2024-1-01T00:00:00Z")", 0},
        {R"("2024-01-01T00:00:0xZ")", 0},
        {R"("")", 0},
        {"1.5", 0},
        {"true", 0},
        {"null", 0},
    };
    for (const Case& c : cases) {
        const std::string json = std::string(R"({"at":)") + c.value + "}";
        hy_json* doc = Parse(json.c_str());
        ASSERT_NE(doc, nullptr) << json;
        EXPECT_EQ(hy_json_get_datetime_item(doc, "at"), c.expected) << json;
        EXPECT_EQ(hy_json_get_datetime_item(doc, "other"), 0);
        hy_json_free(doc);
    }
}

TEST_F(JsonTest, ParseHonoursLengthAndAcceptsAnyJsonValue) {
    const char buffer[] = R"({"a":1}trailing)";
    hy_json* head = hy_json_parse(buffer, 7);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(hy_json_get_integer_item(head, "a"), 1);
    hy_json_free(head);
    EXPECT_EQ(hy_json_parse(buffer, sizeof buffer - 1), nullptr);

    hy_json* scalar = Parse("42");
    EXPECT_DOUBLE_EQ(hy_json_get_double(scalar), 42.0);
    EXPECT_EQ(Text(scalar), "42");
    hy_json_free(scalar);

    EXPECT_EQ(hy_json_parse(nullptr, 4), nullptr);
    EXPECT_EQ(hy_json_parse("{}", 0), nullptr);
    EXPECT_EQ(hy_json_serialize(nullptr, 0), nullptr);
    hy_free(nullptr);
}

TEST_F(JsonTest, SerializeIsCompactAndKeepsMemberOrder) {
    hy_json* doc = Parse("{ \"z\" : [ 1 , 2.5 , null ] ,\n \"a\" : \"caf\\u00e9 \\\"q\\\"\" }");
    ASSERT_NE(doc, nullptr);
    char* text = hy_json_serialize(doc, 0);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "{\"z\":[1,2.5,null],\"a\":\"caf\xc3\xa9 \\\"q\\\"\"}");
    hy_json* again = hy_json_parse(text, std::strlen(text));
    EXPECT_EQ(Text(again), text);
    hy_free(text);
    hy_json_free(again);
    hy_json_free(doc);
}

TEST_F(JsonTest, SerializedTextsCountUntilFreed) {
    hy_json* doc = Parse("[1]");
    const uint32_t before = hyl_live_json();
    char* text = hy_json_serialize(doc, 0);
    EXPECT_EQ(hyl_live_json(), before + 1);
    hy_free(text);
    EXPECT_EQ(hyl_live_json(), before);
    hy_json_free(doc);
}

}  // namespace
