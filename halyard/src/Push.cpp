#include <cstring>

#include "Client.h"
#include "Json.h"
#include "LastError.h"
#include "LiveCounts.h"
#include "Replay.h"

namespace halyard {

void BeginCall(hy_client* client) {
    for (const ScheduledPush& push : client->loopback.TakeDuePushes()) {
        const JsonPtr json(push.json.empty() ? nullptr
                                             : ParseJson(push.json.data(), push.json.size()));
        Deliver(client, push.first.c_str(), push.type.c_str(), json.get());
    }
}

void Deliver(hy_client* client, const char* first, const char* type, json_t* json) {
    const std::string text = SerializeToString(json);
    const hyl_push push{first, type, text.c_str(), client->loopback.requests,
                        client->loopback.polls};
    client->journal.AddPush(PushEntry::CopyOf(push));
    client->msgFuncs.Deliver([&](hy_msg_func func, void* userData) {
        func(client, first, type, Handle(json), userData);
    });
}

void LogToClient(hy_client* client, int32_t level, const std::string& text) {
    client->logFuncs.Deliver([&](hy_log_func func, void* userData) {
        func(level, "halyard", text.c_str(), nullptr, userData);
    });
}

}  // namespace halyard

extern "C" {

HY_API int HY_CALL hyl_push_message(hy_client* client, const char* first, const char* type,
                                    const char* json_text) try {
    if (client == nullptr) {
        return halyard::Refuse("hyl_push_message", "no client");
    }
    halyard::JsonPtr value;
    if (json_text != nullptr) {
        std::string error;
        value.reset(halyard::ParseJson(json_text, std::strlen(json_text), &error));
        if (value == nullptr) {
            return halyard::Refuse("hyl_push_message", "json: " + error);
        }
    }
    halyard::CheckUnscheduledPush(client, type);
    halyard::Deliver(client, first, type, value.get());
    return 0;
} catch (...) {
    return halyard::Caught("hyl_push_message");
}

HY_API int HY_CALL hyl_push_json(hy_client* client, const char* first, const char* type,
                                 hy_json* json) try {
    halyard::UntrackJson(halyard::Node(json));
    const halyard::JsonPtr value(halyard::Node(json));
    if (client == nullptr) {
        return halyard::Refuse("hyl_push_json", "no client");
    }
    halyard::CheckUnscheduledPush(client, type);
    halyard::Deliver(client, first, type, value.get());
    return 0;
} catch (...) {
    return halyard::Caught("hyl_push_json");
}

HY_API void HY_CALL hyl_push_log(hy_client* client, int32_t level, const char* first,
                                 const char* second) try {
    if (client == nullptr) {
        return;
    }
    client->logFuncs.Deliver(
        [&](hy_log_func func, void* userData) { func(level, first, second, nullptr, userData); });
} catch (...) {
    halyard::Caught("hyl_push_log");
}

}  // extern "C"
