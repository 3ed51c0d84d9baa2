#include <cstring>

#include "Client.h"
#include "Json.h"

extern "C" {

HY_API int HY_CALL hyl_push_message(hy_client* client, const char* first, const char* type,
                                    const char* json_text) {
    if (client == nullptr) {
        return -1;
    }
    json_t* value = nullptr;
    if (json_text != nullptr) {
        value = halyard::ParseJson(json_text, std::strlen(json_text));
        if (value == nullptr) {
            return -1;
        }
    }
    client->msgFuncs.Deliver([&](hy_msg_func func, void* userData) {
        func(client, first, type, halyard::Handle(value), userData);
    });
    json_decref(value);
    return 0;
}

HY_API void HY_CALL hyl_push_log(hy_client* client, int32_t level, const char* first,
                                 const char* second) {
    if (client == nullptr) {
        return;
    }
    client->logFuncs.Deliver(
        [&](hy_log_func func, void* userData) { func(level, first, second, nullptr, userData); });
}

}  // extern "C"
