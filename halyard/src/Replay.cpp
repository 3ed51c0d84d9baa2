#include "Replay.h"

#include "Client.h"
#include "LastError.h"
#include "RequestKey.h"

namespace halyard {
namespace {

void Mismatch(hy_client* client, std::string text) {
    client->loopback.mismatches.push_back(text);
    LogToClient(client, HY_LOG_ERROR, text);
}

}  // namespace

void CheckReplay(hy_client* client, const JournalEntry& entry, const Answer& answer,
                 hyl_source source) {
    const bool unscripted = client->loopback.strict && source == HYL_BUILT_IN_DEFAULT;
    if (answer.expectedRequest.empty() && !answer.order && !unscripted) {
        return;  // nothing expected of this request
    }
    const std::string kind = hyl_kind_name(entry.request.kind);
    const std::string made = RequestKey(entry.request);
    // A replayed answer names the request it answered when it was recorded;
    // a different request means the code under test took another road.
    if (!answer.expectedRequest.empty() && made != answer.expectedRequest) {
        Mismatch(client, kind + " request " + made + " differs from the recorded " +
                             answer.expectedRequest);
    }
    // Answers are queued per kind, so a request that overtakes one of another
    // kind shows only here: an earlier answer is still waiting.
    const std::optional<Loopback::Earliest> earliest = client->loopback.EarliestOrdered();
    if (answer.order && earliest && earliest->order < *answer.order) {
        Mismatch(client, kind + " request " + made + " came before its turn: recorded at " +
                             std::to_string(*answer.order) + ", but the " +
                             hyl_kind_name(earliest->kind) + " answer recorded at " +
                             std::to_string(earliest->order) + " is still queued");
    }
    if (unscripted) {
        Mismatch(client, "unscripted " + kind + " request " + made);
    }
}

void CheckUnscheduledPush(hy_client* client, const char* type) {
    if (client->loopback.strict) {
        Mismatch(client, std::string("push \"") + (type != nullptr ? type : "") +
                             "\" not scheduled by a scenario");
    }
}

}  // namespace halyard

extern "C" {

HY_API int HY_CALL hyl_set_strict(hy_client* client, int strict) {
    if (client == nullptr) {
        return halyard::Refuse("hyl_set_strict", "no client");
    }
    client->loopback.strict = strict != 0;
    return 0;
}

HY_API uint32_t HY_CALL hyl_replay_mismatches(hy_client* client) {
    return client != nullptr ? static_cast<uint32_t>(client->loopback.mismatches.size()) : 0;
}

HY_API const char* HY_CALL hyl_replay_mismatch(hy_client* client, uint32_t index) try {
    if (client == nullptr) {
        halyard::Refuse("hyl_replay_mismatch", "no client");
        return nullptr;
    }
    if (index >= client->loopback.mismatches.size()) {
        halyard::Refuse("hyl_replay_mismatch",
                        halyard::OutOfRange(index, hyl_replay_mismatches(client)));
        return nullptr;
    }
    return client->loopback.mismatches[index].c_str();
} catch (...) {
    return halyard::Caught("hyl_replay_mismatch", nullptr);
}

}  // extern "C"
