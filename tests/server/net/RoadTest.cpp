// The whole road over HTTP: tickets, the match on every member's stream,
// accepts, the leader's start with its join info, proofs; and a party.
#include <algorithm>

#include "NetFixture.h"

namespace server_net_test {
namespace {

struct RoadCase {
    const char* hopper;
    size_t players;
    size_t teams;
};

class RoadTest : public NetTest, public ::testing::WithParamInterface<RoadCase> {};

// The match's teams as every member sees them, and the leader: the last
// member of the last team.
std::string TeamsText(const Reply& status, std::string* leader) {
    const Json json(status.body);
    json_t* teams = json_object_get(json_object_get(json.value, "match"), "teams");
    json_t* last = json_array_get(teams, json_array_size(teams) - 1);
    *leader = json_string_value(
        json_object_get(json_array_get(last, json_array_size(last) - 1), "identity_id"));
    char* text = json_dumps(teams, JSON_COMPACT);
    std::string copy = text;
    free(text);
    return copy;
}

TEST_P(RoadTest, EveryMemberIsMatchedAcceptsAndGetsTheLeadersJoinInfo) {
    const RoadCase road = GetParam();
    Start();
    std::vector<Player> players;
    std::vector<std::unique_ptr<EventReader>> streams;
    for (size_t i = 0; i < road.players; ++i) {
        players.push_back(NewPlayer());
        streams.push_back(std::make_unique<EventReader>(server_->url(), players.back().token));
    }
    for (Player& player : players) {
        Queue(player, road.hopper);
    }
    // Everyone hears of the match on the stream, without asking.
    for (auto& stream : streams) {
        EXPECT_TRUE(stream->WaitFor([](const std::vector<Event>& e) { return Has(e, "matched"); }));
    }
    std::string leader;
    const Reply first = Do(players[0], "keepalive");
    const std::string teams = TeamsText(first, &leader);
    const Json team_list(teams);
    EXPECT_EQ(json_array_size(team_list.value), road.teams);
    const Player* leading = nullptr;
    for (const Player& player : players) {
        std::string same_leader;
        EXPECT_EQ(TeamsText(Do(player, "keepalive"), &same_leader), teams);
        leading = player.identity == leader ? &player : leading;
    }
    ASSERT_NE(leading, nullptr);
    const Player& follower = road.players > 1 && leading == &players[0] ? players[1] : players[0];
    if (road.players > 1) {
        EXPECT_EQ(Do(*leading, "start", "{}").Text("error"), "not_accepted");
    }

    for (const Player& player : players) {
        EXPECT_EQ(Do(player, "accept").status, 200);
    }
    EXPECT_EQ(Do(follower, "keepalive").Text("state"), "accepted");
    if (road.players > 1) {
        const Reply refused = Do(follower, "start", "{}");
        EXPECT_EQ(refused.status, 403);
        EXPECT_EQ(refused.Text("error"), "not_leader");
    }
    EXPECT_EQ(Do(*leading, "start", R"({"address":"203.0.113.7:7777"})").Text("state"),
              "match_started");
    for (auto& stream : streams) {
        ASSERT_TRUE(stream->WaitFor([](const std::vector<Event>& e) {
            return !e.empty() && StateOf(e.back()) == "match_started";
        }));
        const Json status(stream->events.back().data);
        EXPECT_STREQ(
            json_string_value(json_object_get(
                json_object_get(json_object_get(status.value, "match"), "join_info"), "address")),
            "203.0.113.7:7777");
    }
    // A game server checks a proof without asking the player.
    const Reply proof = Do(follower, "proof");
    ASSERT_EQ(proof.status, 200);
    const Reply checked =
        http_->Post("/v1/matchmaking/proofs/check", "{\"proof\":\"" + proof.Text("proof") + "\"}",
                    leading->token);
    const Json body(checked.body);
    EXPECT_TRUE(json_is_true(json_object_get(body.value, "valid")));
    EXPECT_EQ(checked.Text("identity_id"), follower.identity);
    EXPECT_EQ(checked.Text("expires_at"), proof.Text("expires_at"));
}

INSTANTIATE_TEST_SUITE_P(Hoppers, RoadTest,
                         ::testing::Values(RoadCase{kSolo, 1, 1}, RoadCase{kDuel, 2, 2},
                                           RoadCase{kTen, 10, 2}));

TEST_F(NetTest, APartyIsMatchedAsOneOnOneTeamOnceEveryMemberIsThere) {
    Start();
    const std::string party = "4f1d8c3e-2b7a-4c11-9e55-0a6b3c2d1e0f";
    std::vector<Player> members = {NewPlayer(), NewPlayer(), NewPlayer()};
    std::vector<Player> solos;
    // The joiners may come before the opener.
    Queue(members[1], kTen, ",\"group_id\":\"" + party + "\"");
    Queue(members[0], kTen, ",\"second_group_id\":\"" + party + "\",\"group_size\":3");
    for (int i = 0; i < 7; ++i) {
        solos.push_back(NewPlayer());
        Queue(solos.back(), kTen);
    }
    // Nine waiting, but the party lacks a member: no match yet.
    const Reply waiting = Do(members[0], "keepalive");
    EXPECT_EQ(waiting.Text("state"), "matching");
    EXPECT_EQ(waiting.Number("group_size"), 3);
    EXPECT_EQ(waiting.Number("estimated_hopper_size"), 9);

    Queue(members[2], kTen, ",\"group_id\":\"" + party + "\"");
    const Reply matched = Do(members[2], "keepalive");
    ASSERT_EQ(matched.Text("state"), "matched") << matched.body;
    EXPECT_EQ(matched.Text("group_id"), party);
    const Json status(matched.body);
    EXPECT_EQ(json_array_size(json_object_get(status.value, "group_members_joined")), 3u);
    // All three on one team, marked with the party.
    size_t teams_with_party = 0;
    json_t* teams = json_object_get(json_object_get(status.value, "match"), "teams");
    for (size_t t = 0; t < json_array_size(teams); ++t) {
        size_t in_party = 0;
        for (size_t u = 0; u < json_array_size(json_array_get(teams, t)); ++u) {
            const char* group = json_string_value(
                json_object_get(json_array_get(json_array_get(teams, t), u), "group_id"));
            in_party += group != nullptr && party == group;
        }
        EXPECT_TRUE(in_party == 0 || in_party == 3);
        teams_with_party += in_party == 3;
    }
    EXPECT_EQ(teams_with_party, 1u);
    // The party is full now.
    Player late = NewPlayer();
    const Reply full = http_->Post(
        "/v1/matchmaking/tickets",
        std::string("{\"hopper_id\":\"") + kTen + "\",\"group_id\":\"" + party + "\"}", late.token);
    EXPECT_EQ(full.status, 409);
    EXPECT_EQ(full.Text("error"), "party_full");
}

}  // namespace
}  // namespace server_net_test
