#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace KRHalyardServer {

// A request as the routes see it, whatever transport carried it.
struct HttpRequest {
    std::string method;
    std::string path;
    std::string body;
    // A header's value, or null when absent (names compare without case).
    std::function<const char*(const char*)> header;
};

struct HttpResponse {
    int status = 200;
    const char* content_type = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    const char* route = "unknown";  // the route's pattern, for the request counters

    // Set by the events route: the transport opens a stream for this identity.
    bool stream = false;
    std::string stream_identity;
    std::optional<uint64_t> last_event_id;
};

// {"error": code, "message": text} with the status.
HttpResponse ErrorResponse(int status, const std::string& code, const std::string& message);

const char* ReasonPhrase(int status);

}  // namespace KRHalyardServer
