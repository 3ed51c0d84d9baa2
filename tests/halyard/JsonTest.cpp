#include "HalyardTest.h"

namespace {

using JsonTest = HalyardTest;

// An attached value belongs to its parent, even when the attach is refused.
TEST_F(JsonTest, AttachedValuesKeepTheirHandleAndBelongToTheParent) {
    hy_json* root = hy_json_new_object();
    hy_json* list = hy_json_new_array();
    hy_json* inner = hy_json_new_object();
    ASSERT_EQ(hy_json_set_key(root, "list", list), 0);
    ASSERT_EQ(hy_json_append_value(list, inner), 0);
    // Still usable after being handed over: the handles stay the same nodes.
    ASSERT_EQ(hy_json_set_string_key(inner, "name", "ann"), 0);
    ASSERT_EQ(hy_json_append_string_value(list, "tail"), 0);
    ASSERT_EQ(hy_json_set_integer_key(root, "count", 9007199254740993LL), 0);
    EXPECT_EQ(Text(root), R"({"list":[{"name":"ann"},"tail"],"count":9007199254740993})");

    // A copy shares nothing with its original.
    hy_json* copy = hy_json_clone(root);
    // A replaced member is released with everything it holds.
    ASSERT_EQ(hy_json_set_string_key(root, "list", "flat"), 0);
    EXPECT_EQ(Text(root), R"({"list":"flat","count":9007199254740993})");
    hy_json_free(root);  // alone releases everything attached (TearDown checks)

    // A refused attach still takes the value (TearDown checks it was freed) and
    // changes nothing; the copy is still whole.
    hy_json* array = hy_json_new_array();
    EXPECT_EQ(hy_json_set_key(array, "k", hy_json_new_object()), -1);
    EXPECT_EQ(hy_json_set_key(copy, nullptr, hy_json_new_array()), -1);
    EXPECT_EQ(hy_json_append_value(copy, Parse("[1]")), -1);
    EXPECT_EQ(hy_json_set_string_key(copy, "k", nullptr), -1);
    EXPECT_EQ(hy_json_set_string_key(copy, "k", "\xff\xfe"), -1);  // not UTF-8
    // A value can not be put inside itself; the caller keeps it.
    EXPECT_EQ(hy_json_set_key(copy, "self", copy), -1);
    EXPECT_EQ(hy_json_append_value(array, array), -1);
    EXPECT_EQ(Text(array), "[]");
    EXPECT_EQ(Text(copy), R"({"list":[{"name":"ann"},"tail"],"count":9007199254740993})");
    hy_json_free(copy);
    hy_json_free(array);
}

TEST_F(JsonTest, ReadsOfAbsentOrMistypedMembersGiveNeutralValues) {
    hy_json* doc = Parse(
        R"({"i":5,"r":2.5,"t":true,"a":[1,"two"],"z":null,"max":2147483647,"min":2147483648,"wrap":4294967297})");
    ASSERT_NE(doc, nullptr);
    // Integer reads keep the low 32 bits, as a 32-bit reader of the wire value would.
    EXPECT_EQ(hy_json_get_integer_item(doc, "max"), 2147483647);
    EXPECT_EQ(hy_json_get_integer_item(doc, "min"), INT32_MIN);
    EXPECT_EQ(hy_json_get_integer_item(doc, "wrap"), 1);
    EXPECT_EQ(hy_json_get_integer_item(doc, "r"), 0);          // a real is not an integer
    EXPECT_DOUBLE_EQ(hy_json_get_double_item(doc, "i"), 5.0);  // integers are numbers
    EXPECT_NE(hy_json_get_item(doc, "z"), nullptr);            // present, even if JSON null
    const hy_json* array = hy_json_get_item(doc, "a");
    EXPECT_EQ(hy_json_get_size(array), 2);
    EXPECT_EQ(hy_json_get_size(doc), 0);
    EXPECT_STREQ(hy_json_get_string(hy_json_get_value(array, 1)), "two");
    EXPECT_EQ(hy_json_get_value(array, 2), nullptr);
    EXPECT_EQ(hy_json_get_value(array, -1), nullptr);
    EXPECT_EQ(hy_json_get_item(array, "i"), nullptr);  // members of a non-object
    EXPECT_EQ(hy_json_get_item(doc, nullptr), nullptr);
    hy_json_free(doc);
}

TEST_F(JsonTest, DatetimeReadsIntegersAndUtcTimestampTexts) {
    const auto at = [](const std::string& value) {
        hy_json* doc = Parse((R"({"at":)" + value + "}").c_str());
        const int64_t seconds = hy_json_get_datetime_item(doc, "at");
        hy_json_free(doc);
        return seconds;
    };
    EXPECT_EQ(at("8589934592"), 8589934592LL);  // integers are not truncated here
    EXPECT_EQ(at(R"("1969-12-31T23:59:59Z")"), -1);
    EXPECT_EQ(at(R"("2000-02-29T12:34:56Z")"), 951827696);
    EXPECT_EQ(at(R"("1900-03-01T00:00:00Z")"), -2203891200LL);
    EXPECT_EQ(at(R"("2038-01-19T03:14:08Z")"), 2147483648LL);
    // Not the one accepted form, or not a real instant.
    for (const char* bad : {"2023-02-29T00:00:00Z", "1900-02-29T00:00:00Z", "2024-04-31T00:00:00Z",
                            "2024-13-01T00:00:00Z", "2024-01-01T24:00:00Z", "2024-01-01 00:00:00Z",
                            "2024-01-01T00:00:00+00:00", "2024-01-01T00:00:0xZ"}) {
        EXPECT_EQ(at(std::string("\"") + bad + "\""), 0) << bad;
    }
    EXPECT_EQ(at("1.5"), 0);
}

TEST_F(JsonTest, ParseHonoursLengthAndSerializeIsCompactAndCounted) {
    const char buffer[] = R"({"a":1}trailing)";
    hy_json* head = hy_json_parse(buffer, 7);
    EXPECT_EQ(hy_json_get_integer_item(head, "a"), 1);
    hy_json_free(head);
    EXPECT_EQ(hy_json_parse(buffer, sizeof buffer - 1), nullptr);

    hy_json* doc = Parse("{ \"z\" : [ 1 , 2.5 , null ] ,\n \"a\" : \"caf\\u00e9 \\\"q\\\"\" }");
    const uint32_t before = hyl_live_json();
    char* text = hy_json_serialize(doc, 0);
    EXPECT_EQ(hyl_live_json(), before + 1);  // texts count until hy_free
    EXPECT_STREQ(text, "{\"z\":[1,2.5,null],\"a\":\"caf\xc3\xa9 \\\"q\\\"\"}");
    hy_free(text);
    hy_json_free(doc);
}

}  // namespace
