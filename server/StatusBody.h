#pragma once

#include <string>

#include "Store.h"

namespace KRHalyardServer {

// A ticket's matchable status in the format the matchmaker parses: "seq",
// "matchable_id" (the ticket), "hopper_id", "estimated_hopper_size" (tickets
// in the pool), "state", the group fields for a player in a party, and
// "match" once matched. One line of compact JSON.
std::string StatusBody(Store& store, const Ticket& ticket);

}  // namespace KRHalyardServer
