#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "../Transport.h"

namespace halyard {

using SteadyClock = std::chrono::steady_clock;

// What a networked client's requests and event stream share: where the
// service is, who the player is, and what arrived for the game.
class Session {
public:
    Session(std::vector<std::string> baseUrls, std::string token, std::string identity)
        : baseUrls(std::move(baseUrls)), identity(std::move(identity)), token(std::move(token)) {}

    // Queued for the game's next hyn_client_pump.
    void Log(int32_t level, std::string text);
    void Push(std::string first, std::string type, JsonPtr json);
    std::vector<Arrival> TakeArrivals();

    std::string Authorization() const { return "Authorization: Bearer " + token; }
    // The address after index, round the list.
    size_t Next(size_t index) const { return (index + 1) % baseUrls.size(); }

    const std::vector<std::string> baseUrls;
    const std::string identity;  // the player's, read from the first token
    size_t preferred = 0;        // the address that answered last: requests start there
    std::string token;
    uint32_t timeoutMs = 10000;

private:
    void Add(Arrival arrival);

    std::vector<Arrival> arrivals_;
    uint64_t dropped_ = 0;
};

}  // namespace halyard
