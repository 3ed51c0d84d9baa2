#pragma once

#include <cstdint>
#include <string>

#include "halyard.h"

namespace KRHalyardEmulator {

class HalyardEmulator;
class Hopper;

// The emulated matchable's state; the texts are the status "state" texts.
enum ClientState : uint32_t {
    CLIENT_MATCHING = 0,
    CLIENT_MATCHED = 1,
    CLIENT_ACCEPTED = 2,
    CLIENT_MATCH_STARTED = 3,
    CLIENT_EXPIRED = 4,  // never entered: the emulator has no timers
    CLIENT_CANCELLED = 5,
};

// "matching" ... "cancelled"; "<unknown state>" for any other value.
const char* ClientStateName(uint32_t state);

// One matchmaking attempt of one backend client, made by a ticket request.
// The hopper drives its transitions; each logs one line with the ticket.
class Client {
public:
    Client(HalyardEmulator& emulator, hy_client* halyard_client);
    virtual ~Client();

    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    const std::string& ticket() const { return ticket_; }
    hy_client* halyard_client() const { return halyard_client_; }
    Hopper* hopper() const { return hopper_; }
    void set_hopper(Hopper* hopper) { hopper_ = hopper; }
    bool accepted() const { return accepted_; }
    ClientState state() const { return state_; }
    // Hands out the current "seq" and moves the counter on.
    uint64_t TakeSeq() { return seq_++; }
    // The snapshot taken when the match started; null before.
    const hy_json* started_status() const { return started_status_; }

    // Back to matching from matched or accepted (a dissolved match). The
    // acceptance belonged to the dissolved match, so the mark is cleared: the
    // player has to accept the next match afresh. An accept sent while
    // matching (before any match formed) still counts for the next match.
    void EnterMatchmaking();
    void FoundMatch();
    void AcceptMatch();
    void PromoteToAccepted();
    void CancelMatch();
    // Accepted clients move to match_started and take the snapshot that every
    // later status of theirs repeats; the hopper must still list the match.
    void StartMatch();

private:
    HalyardEmulator& emulator_;
    std::string ticket_;
    hy_client* halyard_client_;
    Hopper* hopper_ = nullptr;
    bool accepted_ = false;
    uint64_t seq_ = 1;
    ClientState state_ = CLIENT_MATCHING;
    hy_json* started_status_ = nullptr;
};

}  // namespace KRHalyardEmulator
