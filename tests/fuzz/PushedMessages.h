#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz_test {

// What one input made the matchmaker do, so a corpus can show how far it reaches.
struct PushOutcome {
    uint32_t states_seen = 0;  // bit s set: a "state" message announced state s
    bool hopper_stored = false;
};

// The identity of the loopback client the matchmaker runs on, and the hopper
// whose info the first line answers: seeds use them to reach the leader's road
// and a stored hopper.
constexpr const char* kFuzzIdentity = "11111111-2222-4333-8444-555555555555";
constexpr const char* kFuzzHopper = "0e6976d1-1655-5da5-8354-3d3a38537aed";

// Plays data, line by line, against a matchmaker on a loopback client that
// holds a ticket: the first line also answers its hopper info request, then
// each line is pushed as a "matchmaking_update" message, with a process pass
// after each. After every pass the match accessors must agree with each
// other; after the matchmaker is freed nothing the client library handed out
// may be alive. Returns null when all holds, otherwise what broke. Usable as
// the body of a libFuzzer entry point.
const char* CheckPushedMessages(const uint8_t* data, size_t size, PushOutcome* outcome = nullptr);

}  // namespace fuzz_test
