#include "HalyardTest.h"

namespace {

using JournalTest = HalyardTest;

TEST_F(JournalTest, EachRequestKindRecordsItsOwnArgumentsAndAnswer) {
    hy_uuid object{};
    hy_uuid_set_from_string(&object, "11111111-2222-4333-8444-555555555555");
    int reserved = 0;
    const uint32_t liveOptions = hyl_live_options();
    hy_json* fields = Parse(R"({"fields":["size"]})");
    hy_options* options = hy_options_from_json(fields);
    hy_json_free(fields);  // options are a copy, counted until a request uses them (TearDown)
    EXPECT_EQ(hyl_live_options(), liveOptions + 1);
    const std::pair<hy_task*, hyl_kind> sent[] = {
        {hy_r_matchmaking_keepalive(client_, "tk-1"), HYL_KEEPALIVE},
        {hy_r_matchmaking_ticket(client_, nullptr, nullptr, nullptr, 4, &reserved, Parse("{}"),
                                 Parse("[1]")),
         HYL_TICKET},
        {hy_r_matchmaking_accept(client_, "tk-2"), HYL_ACCEPT},
        {hy_r_matchmaking_cancel(client_, "tk-3", 1), HYL_CANCEL},
        {hy_r_matchmaking_start(client_, "tk-4", Parse("{}")), HYL_START},
        {hy_r_matchmaking_create_proof(client_, "tk-5"), HYL_CREATE_PROOF},
        {hy_r_matchmaking_check_proof(client_, "proof"), HYL_CHECK_PROOF},
        {hy_r_matchmaking_create_manual_proof(client_, "manual"), HYL_CREATE_MANUAL_PROOF},
        {hy_r_get_object(client_, "hoppers", &object, options), HYL_GET_OBJECT},
        {hy_r_mark_identity_active(client_, -7), HYL_MARK_IDENTITY_ACTIVE},
        {hy_r_get_object(client_, nullptr, nullptr, nullptr), HYL_GET_OBJECT},
    };
    ASSERT_EQ(hyl_journal_count(client_), 11u);
    std::string names;
    for (uint32_t i = 0; i < 11; ++i) {
        hy_task_free(sent[i].first);
        EXPECT_EQ(hyl_journal_get(client_, i)->kind, sent[i].second) << i;
        EXPECT_EQ(hyl_journal_get(client_, i)->status, i == 1 ? 200 : 404) << i;
        names += std::string(hyl_kind_name(sent[i].second)) + " ";
    }
    EXPECT_EQ(names,
              "keepalive ticket accept cancel start create_proof check_proof create_manual_proof "
              "get_object mark_identity_active get_object ");
    EXPECT_EQ(hyl_kind_name(HYL_KIND_COUNT), nullptr);
    EXPECT_STREQ(hyl_last_error(), "hyl_kind_name: request kind out of range");
    const auto at = [this](uint32_t i) { return *hyl_journal_get(client_, i); };
    EXPECT_STREQ(at(1).ticket, "");  // fields a kind does not use read as ""
    EXPECT_EQ(at(1).has_reserved, 1);
    EXPECT_STREQ(at(2).ticket, "tk-2");
    EXPECT_EQ(at(3).soft, 1);
    EXPECT_STREQ(at(4).join_info_json, "{}");  // the request took it
    EXPECT_STREQ(at(6).text, "proof");
    EXPECT_EQ(at(9).argument, -7);
    EXPECT_EQ(std::string(at(10).collection) + at(10).object_id + at(10).options_json, "");
    EXPECT_EQ(hyl_journal_get(client_, 11), nullptr);
    EXPECT_STREQ(hyl_last_error(), "hyl_journal_get: index 11 out of range: the count is 11");
    EXPECT_EQ(hyl_journal_push_get(client_, 0), nullptr);
    EXPECT_STREQ(hyl_last_error(), "hyl_journal_push_get: index 0 out of range: the count is 0");

    // Earlier entries stay put while later ones are added.
    const hyl_request* first = hyl_journal_get(client_, 0);
    for (int i = 0; i < 64; ++i) {
        hy_task_free(hy_r_mark_identity_active(client_, i));
    }
    EXPECT_EQ(hyl_journal_get(client_, 0), first);
    EXPECT_STREQ(first->ticket, "tk-1");
    hyl_journal_clear(client_);
    EXPECT_EQ(hyl_journal_count(client_), 0u);
}

TEST_F(JournalTest, ANullClientGivesNoTaskButStillTakesItsArguments) {
    hy_json* array = Parse("[]");
    EXPECT_EQ(hy_options_from_json(array), nullptr);  // options come only from objects
    hy_json_free(array);
    hy_json* object = Parse(R"({"a":1})");
    hy_options* options = hy_options_from_json(object);
    hy_json_free(object);
    EXPECT_EQ(hy_r_matchmaking_ticket(nullptr, nullptr, nullptr, nullptr, 1, nullptr,
                                      Parse(R"({"x":1})"), Parse("[2]")),
              nullptr);
    EXPECT_EQ(hy_r_matchmaking_start(nullptr, "t", Parse("{}")), nullptr);
    EXPECT_EQ(hy_r_get_object(nullptr, "hoppers", nullptr, options), nullptr);
    EXPECT_EQ(hyl_journal_count(nullptr), 0u);
    // TearDown proves the JSON values and options were released.
}

}  // namespace
