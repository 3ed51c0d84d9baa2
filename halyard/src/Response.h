#pragma once

#include <jansson.h>

#include "LiveCounts.h"
#include "Loopback.h"

// A finished request's answer as the caller sees it; the body is parsed anew
// for every response, so each one owns its JSON (counted while it lives).
struct hy_response {
    // body: already counted by TrackJson, or null.
    hy_response(int32_t status, json_t* body) : status(status), body(body) {
        halyard::CountCreated(halyard::LiveKind::Response);
    }
    ~hy_response() {
        halyard::UntrackJson(body);
        json_decref(body);
        halyard::CountFreed(halyard::LiveKind::Response);
    }
    hy_response(const hy_response&) = delete;
    hy_response& operator=(const hy_response&) = delete;

    int32_t status;
    json_t* body;  // null when there is none
};

namespace halyard {

// A new response for answer, or null when memory runs out.
hy_response* NewResponse(const Answer& answer);

}  // namespace halyard
