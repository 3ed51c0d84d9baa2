#include <functional>
#include <vector>

#include "HalyardTest.h"

namespace {

using JournalTest = HalyardClientTest;

constexpr const char* kHopper = "11111111-2222-4333-8444-555555555555";
constexpr const char* kGroupB = "aaaaaaaa-bbbb-4ccc-8ddd-eeeeeeeeeeee";

hy_uuid Uuid(const char* text) {
    hy_uuid uuid{};
    hy_uuid_set_from_string(&uuid, text);
    return uuid;
}

// Every text field of an entry reads as a text, never null.
void ExpectNoNullTexts(const hyl_request& r) {
    for (const char* text :
         {r.ticket, r.hopper_id, r.group_id, r.second_group_id, r.attributes_json, r.values_json,
          r.join_info_json, r.text, r.collection, r.object_id, r.options_json}) {
        EXPECT_NE(text, nullptr);
    }
}

TEST_F(JournalTest, TicketRequestRecordsItsArgumentsAndReleasesItsJson) {
    const hy_uuid hopper = Uuid(kHopper);
    const hy_uuid groupB = Uuid("AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE");
    hy_json* attributes = Parse(R"({ "mode" : "duel", "region": ["eu"] })");
    int reserved = 0;

    hy_task* task = hy_r_matchmaking_ticket(client_, &hopper, nullptr, &groupB, 4, &reserved,
                                            attributes, nullptr);
    hy_task_free(task);

    ASSERT_EQ(hyl_journal_count(client_), 1u);
    const hyl_request* r = hyl_journal_get(client_, 0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->kind, HYL_TICKET);
    EXPECT_STREQ(r->hopper_id, kHopper);
    EXPECT_STREQ(r->group_id, "");
    EXPECT_STREQ(r->second_group_id, kGroupB);
    EXPECT_EQ(r->group_size, 4u);
    EXPECT_EQ(r->has_reserved, 1);
    EXPECT_STREQ(r->attributes_json, R"({"mode":"duel","region":["eu"]})");
    EXPECT_STREQ(r->values_json, "");
    ExpectNoNullTexts(*r);

    hy_json* values = hy_json_new_object();
    hy_json_set_integer_key(values, "skill", 1500);
    hy_task_free(
        hy_r_matchmaking_ticket(client_, &hopper, &groupB, nullptr, 1, nullptr, nullptr, values));
    r = hyl_journal_get(client_, 1);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->group_id, kGroupB);
    EXPECT_STREQ(r->second_group_id, "");
    EXPECT_EQ(r->has_reserved, 0);
    EXPECT_STREQ(r->attributes_json, "");
    EXPECT_STREQ(r->values_json, R"({"skill":1500})");
}

TEST_F(JournalTest, EachRequestKindRecordsItsOwnArguments) {
    struct Case {
        hyl_kind kind;
        std::function<hy_task*(hy_client*)> send;
        std::function<void(const hyl_request&)> check;
    };
    const hy_uuid object = Uuid(kHopper);
    const std::vector<Case> cases = {
        {HYL_KEEPALIVE, [](hy_client* c) { return hy_r_matchmaking_keepalive(c, "tk-1"); },
         [](const hyl_request& r) { EXPECT_STREQ(r.ticket, "tk-1"); }},
        {HYL_ACCEPT, [](hy_client* c) { return hy_r_matchmaking_accept(c, "tk-2"); },
         [](const hyl_request& r) { EXPECT_STREQ(r.ticket, "tk-2"); }},
        {HYL_CANCEL, [](hy_client* c) { return hy_r_matchmaking_cancel(c, "tk-3", 1); },
         [](const hyl_request& r) {
             EXPECT_STREQ(r.ticket, "tk-3");
             EXPECT_EQ(r.soft, 1);
         }},
        {HYL_CANCEL, [](hy_client* c) { return hy_r_matchmaking_cancel(c, "tk-4", 0); },
         [](const hyl_request& r) { EXPECT_EQ(r.soft, 0); }},
        {HYL_START,
         [](hy_client* c) {
             hy_json* join = hy_json_new_object();
             hy_json_set_string_key(join, "address", "10.0.0.1:7777");
             return hy_r_matchmaking_start(c, "tk-5", join);
         },
         [](const hyl_request& r) {
             EXPECT_STREQ(r.ticket, "tk-5");
             EXPECT_STREQ(r.join_info_json, R"({"address":"10.0.0.1:7777"})");
         }},
        {HYL_START, [](hy_client* c) { return hy_r_matchmaking_start(c, "tk-6", nullptr); },
         [](const hyl_request& r) { EXPECT_STREQ(r.join_info_json, ""); }},
        {HYL_CREATE_PROOF, [](hy_client* c) { return hy_r_matchmaking_create_proof(c, "tk-7"); },
         [](const hyl_request& r) { EXPECT_STREQ(r.ticket, "tk-7"); }},
        {HYL_CHECK_PROOF, [](hy_client* c) { return hy_r_matchmaking_check_proof(c, "proof"); },
         [](const hyl_request& r) {
             EXPECT_STREQ(r.text, "proof");
             EXPECT_STREQ(r.ticket, "");
         }},
        {HYL_CREATE_MANUAL_PROOF,
         [](hy_client* c) { return hy_r_matchmaking_create_manual_proof(c, "manual"); },
         [](const hyl_request& r) { EXPECT_STREQ(r.text, "manual"); }},
        {HYL_GET_OBJECT,
         [&object](hy_client* c) {
             hy_json* spec = Parse(R"({"fields":["size"]})");
             hy_options* options = hy_options_from_json(spec);
             hy_json_free(spec);  // options are a copy
             return hy_r_get_object(c, "hoppers", &object, options);
         },
         [](const hyl_request& r) {
             EXPECT_STREQ(r.collection, "hoppers");
             EXPECT_STREQ(r.object_id, kHopper);
             EXPECT_STREQ(r.options_json, R"({"fields":["size"]})");
         }},
        {HYL_GET_OBJECT, [](hy_client* c) { return hy_r_get_object(c, nullptr, nullptr, nullptr); },
         [](const hyl_request& r) {
             EXPECT_STREQ(r.collection, "");
             EXPECT_STREQ(r.object_id, "");
             EXPECT_STREQ(r.options_json, "");
         }},
        {HYL_MARK_IDENTITY_ACTIVE, [](hy_client* c) { return hy_r_mark_identity_active(c, -7); },
         [](const hyl_request& r) { EXPECT_EQ(r.argument, -7); }},
        {HYL_KEEPALIVE, [](hy_client* c) { return hy_r_matchmaking_keepalive(c, nullptr); },
         [](const hyl_request& r) { EXPECT_STREQ(r.ticket, ""); }},
    };

    for (size_t i = 0; i < cases.size(); ++i) {
        hy_task* task = cases[i].send(client_);
        ASSERT_NE(task, nullptr) << i;
        hy_task_free(task);
        const hyl_request* r = hyl_journal_get(client_, static_cast<uint32_t>(i));
        ASSERT_NE(r, nullptr) << i;
        EXPECT_EQ(r->kind, cases[i].kind) << i;
        ExpectNoNullTexts(*r);
        SCOPED_TRACE(i);
        cases[i].check(*r);
    }

    EXPECT_EQ(hyl_journal_count(client_), cases.size());
    EXPECT_EQ(hyl_journal_count_kind(client_, HYL_CANCEL), 2u);
    EXPECT_EQ(hyl_journal_count_kind(client_, HYL_KEEPALIVE), 2u);
    EXPECT_EQ(hyl_journal_count_kind(client_, HYL_TICKET), 0u);
    EXPECT_EQ(hyl_journal_get(client_, static_cast<uint32_t>(cases.size())), nullptr);

    // Earlier entries stay put while later ones are added.
    const hyl_request* first = hyl_journal_get(client_, 0);
    for (int i = 0; i < 64; ++i) {
        hy_task_free(hy_r_mark_identity_active(client_, i));
    }
    EXPECT_EQ(hyl_journal_get(client_, 0), first);
    EXPECT_STREQ(first->ticket, "tk-1");

    hyl_journal_clear(client_);
    EXPECT_EQ(hyl_journal_count(client_), 0u);
    EXPECT_EQ(hyl_journal_get(client_, 0), nullptr);
    EXPECT_EQ(hyl_journal_count_kind(client_, HYL_CANCEL), 0u);
}

TEST_F(JournalTest, OptionsComeOnlyFromObjectsAndCountUntilUsed) {
    const uint32_t before = hyl_live_options();
    for (const char* notObject : {"[]", "\"text\"", "3"}) {
        hy_json* value = Parse(notObject);
        EXPECT_EQ(hy_options_from_json(value), nullptr) << notObject;
        hy_json_free(value);
    }
    EXPECT_EQ(hy_options_from_json(nullptr), nullptr);

    hy_json* value = Parse("{}");
    hy_options* options = hy_options_from_json(value);
    hy_json_free(value);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(hyl_live_options(), before + 1);
    hy_task_free(hy_r_get_object(client_, "hoppers", nullptr, options));
    EXPECT_EQ(hyl_live_options(), before);
    EXPECT_STREQ(hyl_journal_get(client_, 0)->options_json, "{}");
}

TEST_F(JournalTest, ANullClientGivesNoTaskButStillTakesItsArguments) {
    const hy_uuid hopper = Uuid(kHopper);
    hy_json* options_source = Parse(R"({"a":1})");
    hy_options* options = hy_options_from_json(options_source);
    hy_json_free(options_source);

    EXPECT_EQ(hy_r_matchmaking_ticket(nullptr, &hopper, nullptr, nullptr, 1, nullptr,
                                      Parse(R"({"x":1})"), Parse("[2]")),
              nullptr);
    EXPECT_EQ(hy_r_matchmaking_start(nullptr, "t", Parse("{}")), nullptr);
    EXPECT_EQ(hy_r_get_object(nullptr, "hoppers", &hopper, options), nullptr);
    EXPECT_EQ(hy_r_matchmaking_keepalive(nullptr, "t"), nullptr);
    EXPECT_EQ(hy_r_matchmaking_accept(nullptr, "t"), nullptr);
    EXPECT_EQ(hy_r_matchmaking_cancel(nullptr, "t", 1), nullptr);
    EXPECT_EQ(hy_r_matchmaking_create_proof(nullptr, "t"), nullptr);
    EXPECT_EQ(hy_r_matchmaking_check_proof(nullptr, "p"), nullptr);
    EXPECT_EQ(hy_r_matchmaking_create_manual_proof(nullptr, "m"), nullptr);
    EXPECT_EQ(hy_r_mark_identity_active(nullptr, 1), nullptr);
    EXPECT_EQ(hyl_journal_count(nullptr), 0u);
    EXPECT_EQ(hyl_journal_get(nullptr, 0), nullptr);
    hyl_journal_clear(nullptr);
    // TearDown proves the JSON values and options were released.
}

}  // namespace
