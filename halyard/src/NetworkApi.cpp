#include <new>

#include "Client.h"
#include "Json.h"
#include "LastError.h"
#include "Transport.h"

extern "C" {

// No exception leaves into the caller's C: out of memory, or what a message
// or log function threw during a pump, ends the call with its failure value
// and the reason in hyl_last_error.
HY_API hy_client* HY_CALL hyn_client_connect(const char* base_url, const char* token) try {
    std::string identity;
    std::string reason;
    std::unique_ptr<halyard::Transport> transport =
        halyard::OpenTransport(base_url, token, &identity, &reason);
    if (transport == nullptr) {
        halyard::Refuse("hyn_client_connect", reason);
        return nullptr;
    }
    hy_client* client = new (std::nothrow) hy_client();
    if (client == nullptr) {
        halyard::Refuse("hyn_client_connect", "out of memory");
        return nullptr;
    }
    client->identity = identity;
    client->transport = std::move(transport);
    return client;
} catch (...) {
    return halyard::Caught("hyn_client_connect", nullptr);
}

HY_API int HY_CALL hyn_client_pump(hy_client* client) try {
    if (client == nullptr) {
        return halyard::Refuse("hyn_client_pump", "no client");
    }
    if (client->transport == nullptr) {
        // A replay pumps as the recorded game did, so its pushes arrive at
        // the same point of the game loop.
        const uint32_t before = client->loopback.PendingPushes();
        halyard::BeginCall(client);
        return static_cast<int>(before - client->loopback.PendingPushes());
    }
    client->transport->Advance();
    // A function that throws costs its own delivery only: the others still
    // get theirs, and the pump reports the failure.
    int delivered = 0;
    bool failed = false;
    for (const halyard::Arrival& arrival : client->transport->TakeArrivals()) {
        try {
            if (arrival.isLog) {
                halyard::LogToClient(client, arrival.level, arrival.text);
            } else {
                halyard::Deliver(client, arrival.first.c_str(), arrival.type.c_str(),
                                 arrival.json.get());
                ++delivered;
            }
        } catch (...) {
            failed = halyard::Caught("hyn_client_pump", true);
        }
    }
    return failed ? -1 : delivered;
} catch (...) {
    return halyard::Caught("hyn_client_pump");
}

HY_API int HY_CALL hyn_client_set_token(hy_client* client, const char* token) try {
    if (client == nullptr || client->transport == nullptr) {
        return halyard::Refuse("hyn_client_set_token", "not a networked client");
    }
    std::string reason;
    if (client->transport->SetToken(token != nullptr ? token : "", &reason) != 0) {
        return halyard::Refuse("hyn_client_set_token", reason);
    }
    return 0;
} catch (...) {
    return halyard::Caught("hyn_client_set_token");
}

HY_API int HY_CALL hyn_client_set_timeout(hy_client* client, uint32_t milliseconds) {
    if (client == nullptr || client->transport == nullptr) {
        return halyard::Refuse("hyn_client_set_timeout", "not a networked client");
    }
    if (milliseconds == 0) {
        return halyard::Refuse("hyn_client_set_timeout",
                               "a timeout of 0 would let a request wait forever");
    }
    client->transport->SetTimeout(milliseconds);
    return 0;
}

}  // extern "C"
