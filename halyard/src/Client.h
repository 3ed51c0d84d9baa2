#pragma once

#include <memory>
#include <string>

#include "CallbackList.h"
#include "Journal.h"
#include "Json.h"
#include "Loopback.h"
#include "Transport.h"
#include "halyard.h"

// A backend client: its identity, the functions registered on it, its
// scripted loopback backend or its transport to a service, and the journal of
// its exchanges.
struct hy_client {
    hy_client() : self(std::make_shared<hy_client*>(this)) {}
    // Tasks that outlive the client see it gone.
    ~hy_client() { *self = nullptr; }
    hy_client(const hy_client&) = delete;
    hy_client& operator=(const hy_client&) = delete;

    std::string identity;
    halyard::CallbackList<hy_log_func> logFuncs;
    halyard::CallbackList<hy_msg_func> msgFuncs;
    halyard::Loopback loopback;
    halyard::Journal journal;
    // Null: the loopback answers. Declared after the journal, so that it goes
    // first and finishes what is still in flight while the journal lives.
    std::unique_ptr<halyard::Transport> transport;
    // Shared with the client's tasks, so that their polls reach it while it lives.
    std::shared_ptr<hy_client*> self;
};

namespace halyard {

// Starts a request or a poll on the client: delivers the pushes due by now.
void BeginCall(hy_client* client);
// Delivers one message to the client's message functions and journals it.
// first and type may be null; so may json (no JSON value).
void Deliver(hy_client* client, const char* first, const char* type, json_t* json);
// One log entry from the loopback itself (first text "halyard").
void LogToClient(hy_client* client, int32_t level, const std::string& text);

}  // namespace halyard
