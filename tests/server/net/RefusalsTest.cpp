// Bad requests get a clear JSON error, change nothing and leave the service
// serving; limits, idempotency and the start-up checks.
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "NetFixture.h"

namespace server_net_test {
namespace {

enum class As { kNobody, kOwner, kOther, kForged };

struct RefusalCase {
    const char* name;
    const char* method;
    std::string path;  // {ticket}: the owner's ticket
    std::string body;
    As as;
    long status;
    const char* error;
};

const std::string kTicketPath = "/v1/matchmaking/tickets/{ticket}/";
const std::string kTickets = "/v1/matchmaking/tickets";

class RefusalTest : public NetTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, IsAnsweredAndChangesNothing) {
    const RefusalCase refusal = GetParam();
    Start();
    Player owner = NewPlayer();
    const Player other = NewPlayer();
    const int64_t seq = Queue(owner, kTen).Number("seq");
    std::string path = refusal.path;
    const size_t at = path.find("{ticket}");
    if (at != std::string::npos) {
        path.replace(at, 8, owner.ticket);
    }
    std::string token = refusal.as == As::kOther ? other.token : owner.token;
    if (refusal.as == As::kNobody) {
        token.clear();
    } else if (refusal.as == As::kForged) {
        token.back() = token.back() == '0' ? '1' : '0';
    }
    const Reply reply = std::string(refusal.method) == "GET"
                            ? http_->Get(path, token)
                            : http_->Post(path, refusal.body, token);
    EXPECT_EQ(reply.status, refusal.status) << reply.body;
    EXPECT_EQ(reply.Text("error"), refusal.error);
    EXPECT_FALSE(reply.Text("message").empty());
    EXPECT_EQ(reply.headers.at("content-type"), "application/json");
    // The ticket is as it was and the service still serves.
    const Reply after = Do(owner, "keepalive");
    EXPECT_EQ(after.Number("seq"), seq);
    EXPECT_EQ(after.Text("state"), "matching");
}

// A file of this test process alone, so runs side by side never share one.
std::string ScratchFile(const std::string& name) {
    return ::testing::TempDir() + std::to_string(getpid()) + "-" + name;
}

std::string Ticket(const std::string& members) {
    return std::string("{\"hopper_id\":\"") + kTen + "\"" + members + "}";
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RefusalTest,
    ::testing::Values(
        RefusalCase{"NoToken", "POST", kTicketPath + "keepalive", "", As::kNobody, 401,
                    "unauthorized"},
        RefusalCase{"ForgedToken", "POST", kTicketPath + "cancel", "", As::kForged, 401,
                    "unauthorized"},
        RefusalCase{"AnotherIdentitysTicket", "POST", kTicketPath + "cancel", "", As::kOther, 403,
                    "not_your_ticket"},
        RefusalCase{"UnknownTicket", "POST",
                    kTickets + "/6c9e0f4e-5d1b-4a8e-9c3f-2b1a0d9e8f7c/keepalive", "", As::kOwner,
                    404, "ticket_not_found"},
        RefusalCase{"UnknownRoute", "POST", "/v1/matchmaking/rematch", "", As::kOwner, 404,
                    "not_found"},
        RefusalCase{"ManualProof", "POST", "/v1/matchmaking/proofs/manual", "", As::kOwner, 404,
                    "not_supported"},
        RefusalCase{"NilHopper", "POST", kTickets,
                    "{\"hopper_id\":\"00000000-0000-0000-0000-000000000000\"}", As::kOwner, 404,
                    "hopper_not_found"},
        RefusalCase{"UpperCaseTicketId", "POST",
                    kTickets + "/6C9E0F4E-5D1B-4A8E-9C3F-2B1A0D9E8F7C/accept", "", As::kOwner, 400,
                    "bad_uuid"},
        RefusalCase{"MalformedJson", "POST", kTickets, "{\"hopper_id\":", As::kOwner, 400,
                    "malformed_json"},
        RefusalCase{"WrongType", "POST", kTicketPath + "cancel", "{\"soft\":\"yes\"}", As::kOwner,
                    400, "wrong_type"},
        RefusalCase{"UnknownMember", "POST", kTickets, Ticket(",\"skill\":3"), As::kOwner, 400,
                    "unknown_member"},
        RefusalCase{"PartyLargerThanATeam", "POST", kTickets,
                    Ticket(",\"second_group_id\":\"4f1d8c3e-2b7a-4c11-9e55-0a6b3c2d1e0f\","
                           "\"group_size\":6"),
                    As::kOwner, 400, "bad_group_size"},
        RefusalCase{"WrongMethod", "GET", kTickets, "", As::kOwner, 405, "method_not_allowed"},
        RefusalCase{"BodyOver64KiB", "POST", kTickets,
                    Ticket(",\"attributes\":\"" + std::string(70000, 'x') + "\""), As::kOwner, 413,
                    "body_too_large"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(NetTest, AnExpiredTokenIsRefused) {
    Start();
    Player a = NewPlayer();
    Advance(6 * 3600 * 1000 + 1000);
    EXPECT_EQ(http_->Post(kTickets, Ticket(""), a.token).status, 401);
}

TEST_F(NetTest, TooManyRequestsAreRefusedButAPacedKeepAlivePasses) {
    Start({"--rate-limit", "2"});
    Player a = NewPlayer();
    Queue(a, kDuel);  // two requests: the budget is spent
    const Reply refused = http_->Post(kTickets, Ticket(""), a.token);
    EXPECT_EQ(refused.status, 429);
    EXPECT_EQ(refused.headers.at("retry-after"), "1");
    EXPECT_EQ(Do(a, "keepalive").status, 429);  // too soon after the last one
    Advance(1000);                              // refills two
    EXPECT_EQ(Do(a, "accept").status, 200);
    EXPECT_EQ(Do(a, "accept").status, 200);
    EXPECT_EQ(Do(a, "keepalive").status, 200);  // a second after the last keep-alive
    EXPECT_EQ(Do(a, "keepalive").status, 429);
}

TEST_F(NetTest, ARepeatedIdempotencyKeyGetsTheFirstTicket) {
    Start();
    Player a = NewPlayer();
    const std::vector<std::string> key = {"Idempotency-Key: join-1"};
    const Reply first = http_->Post(kTickets, Ticket(""), a.token, key);
    const Reply again = http_->Post(kTickets, Ticket(""), a.token, key);
    const Reply other = http_->Post(kTickets, Ticket(""), a.token, {"Idempotency-Key: join-2"});
    EXPECT_EQ(again.status, 201);
    EXPECT_EQ(again.body, first.body);
    EXPECT_EQ(again.headers.at("idempotent-replayed"), "true");
    EXPECT_NE(other.Text("ticket"), first.Text("ticket"));
    const Json info(http_->Get("/info").body);
    EXPECT_EQ(json_integer_value(
                  json_object_get(json_object_get(info.value, "tickets"), "initial_waiting")),
              2);
}

TEST_F(NetTest, TheHopperRecordIsServedAsConfigured) {
    Start();
    Player a = NewPlayer();
    const Reply hopper = http_->Get(std::string("/v1/objects/_mm_hoppers/") + kTen, a.token);
    EXPECT_EQ(hopper.Text("_id"), kTen);
    EXPECT_EQ(hopper.Number("players"), 10);
    EXPECT_EQ(http_->Get(std::string("/v1/objects/_mm_users/") + kTen, a.token).status, 404);
}

TEST(ServiceStartTest, AGamesBackendMintsTokensWithTheSecretAndSessionsAreOff) {
    const std::string secret = ScratchFile("service-secret");
    std::ofstream(secret) << "a secret long enough to sign with\n";
    const std::string identity = "2c51816f-72ae-4a63-9367-16f3c2df8c2e";
    ServerProcess mint({"token", "--secret-file", secret, "--identity", identity});
    EXPECT_EQ(mint.Wait(), 0) << mint.errors();
    ServerProcess server({"--listen", "127.0.0.1:0", "--secret-file", secret});
    ASSERT_TRUE(server.running());
    HttpClient http(server.url());
    EXPECT_EQ(http.Post("/v1/sessions", "").Text("error"), "not_found");
    EXPECT_EQ(http.Post(kTickets, Ticket(""), mint.first_line()).status, 201);
    EXPECT_EQ(server.Stop(), 0);
    std::remove(secret.c_str());
}

TEST_F(NetTest, MetricsCountWhatHappened) {
    Start();
    Player a = NewPlayer();
    Player b = NewPlayer();
    Queue(a, kDuel);
    Queue(b, kDuel);
    const std::string metrics = http_->Get("/metrics").body;
    for (const std::string& line :
         {std::string("halyard_matches_formed_total 1\n"),
          "halyard_tickets_waiting{hopper=\"" + std::string(kDuel) + "\"} 0\n",
          std::string("halyard_tickets{state=\"matched\"} 2\n"),
          std::string("halyard_requests_total{route=\"/v1/matchmaking/tickets/{ticket}/keepalive\","
                      "method=\"POST\",status=\"200\"} 2\n")}) {
        EXPECT_NE(metrics.find(line), std::string::npos) << line;
    }
}

TEST(ServiceStartTest, AHopperFileTheMatchmakerWouldRejectIsRefused) {
    const std::string path = ScratchFile("hoppers-no-teams.json");
    std::ofstream(path) << R"([{"_id": "30ac7aba-e072-52cf-b30d-d88c2ff89f76", "players": 4}])";
    ServerProcess server({"--listen", "127.0.0.1:0", "--hoppers", path});
    EXPECT_FALSE(server.running());
    EXPECT_EQ(server.Wait(), 1);
    EXPECT_NE(server.errors().find("hopper record 0"), std::string::npos) << server.errors();
    std::remove(path.c_str());
}

}  // namespace
}  // namespace server_net_test
