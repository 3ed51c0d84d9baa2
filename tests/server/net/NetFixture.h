#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ServiceClient.h"

namespace server_net_test {

constexpr const char* kSolo = "dcb02466-a5de-5d58-8ce3-552e6c7747ae";
constexpr const char* kDuel = "0e6976d1-1655-5da5-8354-3d3a38537aed";
constexpr const char* kTen = "30ac7aba-e072-52cf-b30d-d88c2ff89f76";

struct Player {
    std::string identity;
    std::string token;
    std::string ticket;
};

// Each test runs its own service on the manual clock with dev sessions, and
// expects it to stop cleanly on SIGTERM.
class NetTest : public ::testing::Test {
protected:
    void Start(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--listen", "127.0.0.1:0", "--dev-sessions", "--clock",
                                         "manual"};
        args.insert(args.end(), extra.begin(), extra.end());
        server_ = std::make_unique<ServerProcess>(args);
        ASSERT_TRUE(server_->running());
        http_ = std::make_unique<HttpClient>(server_->url());
    }

    void TearDown() override {
        if (server_) {
            EXPECT_EQ(server_->Stop(), 0) << server_->errors();
        }
    }

    Player NewPlayer() {
        const Reply session = http_->Post("/v1/sessions", "");
        EXPECT_EQ(session.status, 200);
        return {session.Text("identity_id"), session.Text("token"), ""};
    }

    // A ticket in the hopper (extra: more members of the request, after a
    // comma), then its first keep-alive; returns that keep-alive's answer.
    Reply Queue(Player& player, const char* hopper, const std::string& extra = "") {
        const Reply ticket = http_->Post(
            "/v1/matchmaking/tickets",
            std::string("{\"hopper_id\":\"") + hopper + "\"" + extra + "}", player.token);
        EXPECT_EQ(ticket.status, 201) << ticket.body;
        player.ticket = ticket.Text("ticket");
        return Do(player, "keepalive");
    }

    // POST /v1/matchmaking/tickets/<ticket>/<action>.
    Reply Do(const Player& player, const std::string& action, const std::string& body = "") {
        return http_->Post("/v1/matchmaking/tickets/" + player.ticket + "/" + action, body,
                           player.token);
    }

    void Advance(int64_t ms) {
        ASSERT_EQ(
            http_->Post("/testing/clock", "{\"advance_ms\":" + std::to_string(ms) + "}").status,
            200);
    }

    static bool Has(const std::vector<Event>& events, const std::string& state) {
        for (const Event& event : events) {
            if (StateOf(event) == state) {
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<ServerProcess> server_;
    std::unique_ptr<HttpClient> http_;
};

}  // namespace server_net_test
