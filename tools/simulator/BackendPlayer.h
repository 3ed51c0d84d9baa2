#pragma once

// A simulated player's backend client on a running matchmaking service
// (halyard-server) instead of the in-process emulator.

#include <string>

#include "halyard.h"

namespace KRSimulator {

// A networked client for a new player of the service at backend (one URL or
// several, comma-separated): its token comes from the service's
// /v1/sessions, which a development service (--dev-sessions) offers. Null,
// with *error, when the service hands out no token or this build has no
// network transport.
hy_client* ConnectPlayer(const std::string& backend, std::string* error);

}  // namespace KRSimulator
