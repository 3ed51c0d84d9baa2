#include "HalyardTest.h"

namespace {

using JournalTest = HalyardClientTest;

constexpr const char* kHopper = "11111111-2222-4333-8444-555555555555";

hy_uuid Uuid(const char* text) {
    hy_uuid uuid{};
    hy_uuid_set_from_string(&uuid, text);
    return uuid;
}

TEST_F(JournalTest, TicketRequestRecordsItsArgumentsAndReleasesItsJson) {
    const hy_uuid hopper = Uuid(kHopper);
    const hy_uuid groupB = Uuid("AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE");
    int reserved = 0;
    hy_task_free(hy_r_matchmaking_ticket(client_, &hopper, nullptr, &groupB, 4, &reserved,
                                         Parse(R"({ "mode" : "duel" })"), Parse("[1500]")));

    const hyl_request* r = hyl_journal_get(client_, 0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->kind, HYL_TICKET);
    EXPECT_STREQ(r->hopper_id, kHopper);
    EXPECT_STREQ(r->group_id, "");
    EXPECT_STREQ(r->second_group_id, "aaaaaaaa-bbbb-4ccc-8ddd-eeeeeeeeeeee");
    EXPECT_EQ(r->group_size, 4u);
    EXPECT_EQ(r->has_reserved, 1);
    EXPECT_STREQ(r->attributes_json, R"({"mode":"duel"})");
    EXPECT_STREQ(r->values_json, "[1500]");
    EXPECT_STREQ(r->ticket, "");  // fields a kind does not use read as ""
}

TEST_F(JournalTest, EachRequestKindRecordsItsOwnArguments) {
    const hy_uuid object = Uuid(kHopper);
    hy_json* join = Parse(R"({"address":"10.0.0.1:7777"})");
    const uint32_t liveOptions = hyl_live_options();
    hy_json* fields = Parse(R"({"fields":["size"]})");
    hy_options* options = hy_options_from_json(fields);
    hy_json_free(fields);  // options are a copy, counted until a request uses them
    EXPECT_EQ(hyl_live_options(), liveOptions + 1);
    const std::pair<hy_task*, hyl_kind> sent[] = {
        {hy_r_matchmaking_keepalive(client_, "tk-1"), HYL_KEEPALIVE},
        {hy_r_matchmaking_accept(client_, "tk-2"), HYL_ACCEPT},
        {hy_r_matchmaking_cancel(client_, "tk-3", 1), HYL_CANCEL},
        {hy_r_matchmaking_start(client_, "tk-4", join), HYL_START},
        {hy_r_matchmaking_create_proof(client_, "tk-5"), HYL_CREATE_PROOF},
        {hy_r_matchmaking_check_proof(client_, "proof"), HYL_CHECK_PROOF},
        {hy_r_matchmaking_create_manual_proof(client_, "manual"), HYL_CREATE_MANUAL_PROOF},
        {hy_r_get_object(client_, "hoppers", &object, options), HYL_GET_OBJECT},
        {hy_r_mark_identity_active(client_, -7), HYL_MARK_IDENTITY_ACTIVE},
        {hy_r_get_object(client_, nullptr, nullptr, nullptr), HYL_GET_OBJECT},
    };
    EXPECT_EQ(hyl_live_options(), liveOptions);
    ASSERT_EQ(hyl_journal_count(client_), 10u);
    const char* const names[] = {"keepalive",
                                 "accept",
                                 "cancel",
                                 "start",
                                 "create_proof",
                                 "check_proof",
                                 "create_manual_proof",
                                 "get_object",
                                 "mark_identity_active",
                                 "get_object"};
    for (uint32_t i = 0; i < 10; ++i) {
        hy_task_free(sent[i].first);
        EXPECT_EQ(hyl_journal_get(client_, i)->kind, sent[i].second) << i;
        EXPECT_STREQ(hyl_kind_name(sent[i].second), names[i]);
        EXPECT_EQ(hyl_journal_get(client_, i)->status, 404) << i;  // the answer is journalled too
    }
    EXPECT_STREQ(hyl_kind_name(HYL_TICKET), "ticket");
    EXPECT_EQ(hyl_kind_name(HYL_KIND_COUNT), nullptr);
    const auto at = [this](uint32_t i) { return *hyl_journal_get(client_, i); };
    EXPECT_STREQ(at(1).ticket, "tk-2");
    EXPECT_EQ(at(2).soft, 1);
    EXPECT_STREQ(at(3).join_info_json, R"({"address":"10.0.0.1:7777"})");
    EXPECT_STREQ(at(5).text, "proof");
    EXPECT_STREQ(at(7).collection, "hoppers");
    EXPECT_STREQ(at(7).object_id, kHopper);
    EXPECT_STREQ(at(7).options_json, R"({"fields":["size"]})");
    EXPECT_EQ(at(8).argument, -7);
    EXPECT_STREQ(at(9).collection, "");
    EXPECT_STREQ(at(9).options_json, "");
    EXPECT_EQ(hyl_journal_count_kind(client_, HYL_GET_OBJECT), 2u);
    EXPECT_EQ(hyl_journal_get(client_, 10), nullptr);

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
    EXPECT_EQ(hy_r_matchmaking_cancel(nullptr, "t", 1), nullptr);
    EXPECT_EQ(hyl_journal_count(nullptr), 0u);
    // TearDown proves the JSON values and options were released.
}

}  // namespace
