#include "Loopback.h"

#include <cstring>

#include "Client.h"
#include "Json.h"
#include "Uuid.h"

namespace halyard {
namespace {

// The backend's answer when nothing was scripted: a ticket request gets a
// fresh ticket, anything else is not found.
Answer BuiltInDefault(hyl_kind kind) {
    Answer answer;
    if (kind == HYL_TICKET) {
        answer.status = 200;
        answer.hasBody = true;
        answer.body = "{\"ticket\":\"" + NewUuidText() + "\"}";
    } else {
        answer.status = 404;
    }
    return answer;
}

int StoreAnswer(hy_client* client, hyl_kind kind, int32_t status, const char* body,
                uint32_t pendingPolls, bool asDefault) {
    Answer answer;
    if (client == nullptr || !IsValidKind(kind) ||
        !MakeAnswer(status, body, pendingPolls, &answer)) {
        return -1;
    }
    if (asDefault) {
        client->loopback.SetDefault(kind, std::move(answer));
    } else {
        client->loopback.Script(kind, std::move(answer));
    }
    return 0;
}

}  // namespace

bool MakeAnswer(int32_t status, const char* body, uint32_t pendingPolls, Answer* out) {
    if (body != nullptr) {
        json_t* parsed = ParseJson(body, std::strlen(body));
        if (parsed == nullptr) {
            return false;
        }
        json_decref(parsed);
    }
    out->status = status;
    out->hasBody = body != nullptr;
    out->body = body != nullptr ? body : "";
    out->pendingPolls = pendingPolls;
    return true;
}

Answer Loopback::Next(hyl_kind kind) {
    std::deque<Answer>& queue = queues_[kind];
    if (!queue.empty()) {
        Answer answer = std::move(queue.front());
        queue.pop_front();
        return answer;
    }
    return defaults_[kind] ? *defaults_[kind] : BuiltInDefault(kind);
}

}  // namespace halyard

extern "C" {

HY_API int HY_CALL hyl_script(hy_client* client, hyl_kind kind, int32_t status,
                              const char* body_json, uint32_t pending_polls) {
    return halyard::StoreAnswer(client, kind, status, body_json, pending_polls, false);
}

HY_API int HY_CALL hyl_set_default(hy_client* client, hyl_kind kind, int32_t status,
                                   const char* body_json, uint32_t pending_polls) {
    return halyard::StoreAnswer(client, kind, status, body_json, pending_polls, true);
}

HY_API uint32_t HY_CALL hyl_scripted_count(hy_client* client, hyl_kind kind) {
    if (client == nullptr || !halyard::IsValidKind(kind)) {
        return 0;
    }
    return client->loopback.ScriptedCount(kind);
}

}  // extern "C"
