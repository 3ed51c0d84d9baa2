#include "Loopback.h"

#include <algorithm>
#include <cstring>

#include "Client.h"
#include "Json.h"
#include "LastError.h"
#include "Uuid.h"

namespace halyard {
namespace {

// The backend's answer when nothing was scripted: a ticket request gets a
// fresh ticket, anything else is not found.
Answer BuiltInDefault(hyl_kind kind) {
    Answer answer;
    if (kind == HYL_TICKET) {
        answer.status = 200;
        answer.body = "{\"ticket\":\"" + NewUuidText() + "\"}";
    } else {
        answer.status = 404;
    }
    return answer;
}

int CheckTarget(const char* function, hy_client* client, hyl_kind kind) {
    if (client == nullptr) {
        return Refuse(function, "no client");
    }
    if (!IsValidKind(kind)) {
        return Refuse(function, "request kind " + std::to_string(kind) + " out of range");
    }
    if (client->transport != nullptr) {
        return Refuse(function, "a networked client is answered by its service");
    }
    return 0;
}

int StoreAnswer(const char* function, hy_client* client, hyl_kind kind, int32_t status,
                const char* body, uint32_t pendingPolls, uint32_t count, bool asDefault) {
    if (CheckTarget(function, client, kind) != 0) {
        return -1;
    }
    Answer answer;
    std::string error;
    if (!MakeAnswer(status, body, pendingPolls, &answer, &error)) {
        return Refuse(function, "body: " + error);
    }
    if (asDefault) {
        client->loopback.SetDefault(kind, std::move(answer));
        return 0;
    }
    client->loopback.Script(kind, std::move(answer), count);
    return 0;
}

}  // namespace

bool MakeAnswer(int32_t status, const char* body, uint32_t pendingPolls, Answer* out,
                std::string* error) {
    if (body != nullptr) {
        const JsonPtr parsed(ParseJson(body, std::strlen(body), error));
        if (parsed == nullptr) {
            return false;
        }
        out->body = SerializeToString(parsed.get());
    }
    out->status = status;
    out->pendingPolls = pendingPolls;
    return true;
}

Answer Loopback::Next(hyl_kind kind, hyl_source* source) {
    if (faults_[kind].count > 0) {
        --faults_[kind].count;
        *source = HYL_FAULT;
        Answer fault;
        fault.status = faults_[kind].status;
        return fault;
    }
    std::deque<Queued>& queue = queues_[kind];
    if (!queue.empty()) {
        *source = HYL_SCRIPTED;
        if (--queue.front().left > 0) {
            return queue.front().answer;
        }
        Answer answer = std::move(queue.front().answer);
        queue.pop_front();
        return answer;
    }
    *source = defaults_[kind] ? HYL_DEFAULT : HYL_BUILT_IN_DEFAULT;
    return defaults_[kind] ? *defaults_[kind] : BuiltInDefault(kind);
}

uint32_t Loopback::ScriptedCount(hyl_kind kind) const {
    uint64_t count = 0;
    for (const Queued& queued : queues_[kind]) {
        count += queued.left;
    }
    return static_cast<uint32_t>(std::min<uint64_t>(count, UINT32_MAX));
}

std::optional<Loopback::Earliest> Loopback::EarliestOrdered() const {
    std::optional<Earliest> earliest;
    for (int kind = 0; kind < HYL_KIND_COUNT; ++kind) {
        const std::deque<Queued>& queue = queues_[kind];
        if (!queue.empty() && queue.front().answer.order &&
            (!earliest || *queue.front().answer.order < earliest->order)) {
            earliest = Earliest{static_cast<hyl_kind>(kind), *queue.front().answer.order};
        }
    }
    return earliest;
}

std::vector<ScheduledPush> Loopback::TakeDuePushes() {
    std::vector<ScheduledPush> due;
    const auto isDue = [this](const ScheduledPush& push) {
        return push.afterRequests <= requests && push.afterPolls <= polls;
    };
    std::copy_if(pushes_.begin(), pushes_.end(), std::back_inserter(due), isDue);
    pushes_.erase(std::remove_if(pushes_.begin(), pushes_.end(), isDue), pushes_.end());
    return due;
}

}  // namespace halyard

extern "C" {

HY_API int HY_CALL hyl_script(hy_client* client, hyl_kind kind, int32_t status,
                              const char* body_json, uint32_t pending_polls) try {
    return halyard::StoreAnswer("hyl_script", client, kind, status, body_json, pending_polls, 1,
                                false);
} catch (...) {
    return halyard::Caught("hyl_script");
}

HY_API int HY_CALL hyl_script_json(hy_client* client, hyl_kind kind, int32_t status, hy_json* body,
                                   uint32_t pending_polls) try {
    const bool hasBody = body != nullptr;
    const std::string text = halyard::TakeJson(body);
    return halyard::StoreAnswer("hyl_script_json", client, kind, status,
                                hasBody ? text.c_str() : nullptr, pending_polls, 1, false);
} catch (...) {
    return halyard::Caught("hyl_script_json");
}

HY_API int HY_CALL hyl_script_repeat(hy_client* client, hyl_kind kind, int32_t status,
                                     const char* body_json, uint32_t pending_polls,
                                     uint32_t count) try {
    return halyard::StoreAnswer("hyl_script_repeat", client, kind, status, body_json, pending_polls,
                                count, false);
} catch (...) {
    return halyard::Caught("hyl_script_repeat");
}

HY_API int HY_CALL hyl_set_default(hy_client* client, hyl_kind kind, int32_t status,
                                   const char* body_json, uint32_t pending_polls) try {
    return halyard::StoreAnswer("hyl_set_default", client, kind, status, body_json, pending_polls,
                                1, true);
} catch (...) {
    return halyard::Caught("hyl_set_default");
}

HY_API int HY_CALL hyl_fault(hy_client* client, hyl_kind kind, int32_t status, uint32_t count) try {
    if (halyard::CheckTarget("hyl_fault", client, kind) != 0) {
        return -1;
    }
    client->loopback.SetFault(kind, status, count);
    return 0;
} catch (...) {
    return halyard::Caught("hyl_fault");
}

HY_API uint32_t HY_CALL hyl_scripted_count(hy_client* client, hyl_kind kind) {
    if (client == nullptr || !halyard::IsValidKind(kind)) {
        return 0;
    }
    return client->loopback.ScriptedCount(kind);
}

HY_API uint32_t HY_CALL hyl_pending_pushes(hy_client* client) {
    return client != nullptr ? client->loopback.PendingPushes() : 0;
}

}  // extern "C"
