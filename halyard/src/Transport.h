#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Journal.h"
#include "Json.h"
#include "Loopback.h"

namespace halyard {

// One request handed to a service: journalled when it is made, answered when
// the service's answer arrives. The task that made it and the transport
// share it, so either may go first.
struct Exchange {
    // Records the answer, here and in the journal entry.
    void Finish(Answer result, bool noAnswer, std::string reason);
    // A poll that found the request still under way.
    void CountPendingPoll();

    Answer answer;  // valid once finished
    bool finished = false;
    // No answer came: the request timed out or reached no address. The
    // answer is then 504 without a body, which the matchmaker recovers from.
    bool timedOut = false;
    std::string error;  // why it timed out, "" otherwise
    uint32_t pendingPolls = 0;
    uint64_t polledAt = 0;  // the transport's advances at its last poll
    std::shared_ptr<JournalEntry> entry;
};

// A pushed message or a log line that arrived from the service, held until
// the game's next hyn_client_pump hands it to the client's functions.
struct Arrival {
    bool isLog = false;
    int32_t level = 0;  // log lines
    std::string first;  // pushes
    std::string type;   // pushes
    JsonPtr json;       // pushes: read once, as the stream brought it
    std::string text;   // log lines
};

// How a client reaches a real service. It never waits: every call does what
// can be done at once and returns.
class Transport {
public:
    virtual ~Transport() = default;
    // Starts the request of exchange->entry; the exchange finishes on a
    // later call (at once when it cannot be sent at all).
    virtual void Send(std::shared_ptr<Exchange> exchange) = 0;
    // The task of an unfinished exchange was freed: stop its transfer.
    virtual void Drop(const Exchange& exchange) = 0;
    // Moves transfers along and finishes the exchanges whose answer is in.
    void Advance() {
        ++advances_;
        Move();
    }
    // How often Advance ran: a task polled twice within one count has seen
    // a whole round of polls (a frame) go by.
    uint64_t advances() const { return advances_; }
    // What arrived since the last call, oldest first.
    virtual std::vector<Arrival> TakeArrivals() = 0;
    // Later requests and reconnections carry token; 0, or -1 with *reason.
    virtual int SetToken(const std::string& token, std::string* reason) = 0;
    virtual void SetTimeout(uint32_t milliseconds) = 0;

protected:
    virtual void Move() = 0;

private:
    uint64_t advances_ = 0;
};

// Journals the request and hands it to the client's transport; the task it
// returns finishes when the answer is in.
hy_task* SendToService(hy_client* client, std::unique_ptr<JournalEntry> entry);

// A transport to the services at base_urls (comma-separated) for the player
// the token names; null with *reason when either cannot be used, or when this
// build has no network transport. *identity is the token's identity.
std::unique_ptr<Transport> OpenTransport(const char* baseUrls, const char* token,
                                         std::string* identity, std::string* reason);

}  // namespace halyard
