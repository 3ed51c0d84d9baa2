#include "Response.h"

#if defined(_WIN32)
#include <string.h>  // _stricmp
#else
#include <strings.h>
#endif

#include <new>

#include "Json.h"

namespace halyard {
namespace {

bool SameHeaderName(const char* a, const char* b) {
#if defined(_WIN32)
    return _stricmp(a, b) == 0;
#else
    return strcasecmp(a, b) == 0;
#endif
}

}  // namespace

hy_response* NewResponse(const Answer& answer) {
    const bool hasBody = !answer.body.empty();
    json_t* body = hasBody ? TrackJson(ParseJson(answer.body.data(), answer.body.size())) : nullptr;
    if (hasBody && body == nullptr) {
        return nullptr;  // no memory for the body: no response rather than one without it
    }
    hy_response* response = new (std::nothrow) hy_response(answer.status, body);
    if (response == nullptr) {
        UntrackJson(body);
        json_decref(body);
    }
    return response;
}

}  // namespace halyard

extern "C" {

HY_API int32_t HY_CALL hy_response_get_status_code(hy_response* response) {
    return response != nullptr ? response->status : 0;
}

HY_API int HY_CALL hy_response_is_okay(hy_response* response) {
    return response != nullptr && response->status >= 200 && response->status <= 399 ? 1 : 0;
}

HY_API hy_json* HY_CALL hy_response_get_json(hy_response* response) {
    return response != nullptr ? halyard::Handle(response->body) : nullptr;
}

// Header names compare without regard to case, as on the wire.
HY_API const char* HY_CALL hy_response_get_header(hy_response* response, const char* name) {
    if (response == nullptr || name == nullptr || response->body == nullptr) {
        return nullptr;
    }
    return halyard::SameHeaderName(name, "content-type") ? "application/json" : nullptr;
}

HY_API void HY_CALL hy_response_free(hy_response* response) {
    delete response;
}

}  // extern "C"
