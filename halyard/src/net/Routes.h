#pragma once

#include <string>

#include "../Journal.h"

namespace halyard {

// One request as the service's HTTP interface takes it.
struct HttpCall {
    const char* method = "POST";
    std::string path;  // from the base URL on, e.g. "/v1/matchmaking/tickets"
    std::string body;  // JSON text; "" for none
};

// Puts one path segment into URL form (the transport's own escaping).
using EscapeSegment = std::string (*)(const std::string& segment);

// The route, method and body of a journalled request.
HttpCall RouteOf(const JournalEntry& request, EscapeSegment escape);

}  // namespace halyard
