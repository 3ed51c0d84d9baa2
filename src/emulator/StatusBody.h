#pragma once

#include "halyard.h"

namespace KRHalyardEmulator {

class Client;
class HalyardEmulator;
class Hopper;

// {"ticket": <the client's ticket>}: the body of a ticket response.
hy_json* BuildTicketBody(const Client& client);

// The client's matchable status in the backend's format, as the hopper sees
// it now. Unless forced, a client whose match has started gets a copy of its
// start snapshot, "seq" included; every other build takes one "seq" value.
// The caller owns the result.
hy_json* BuildMatchableStatus(HalyardEmulator& emulator, const Hopper& hopper, Client& client,
                              bool forced);

}  // namespace KRHalyardEmulator
