// The hye_ switch: every matchmaking call of the library goes through here and
// reaches either the client library or the in-process emulator. Calls on an
// existing task or response go to the emulator only for handles it issued, so
// a request in flight is finished by the side that started it.
#include "KRMatchmakingSystem.h"
#include "emulator/HalyardEmulator.h"
#include "halyard.h"

using KRHalyardEmulator::HalyardEmulator;

namespace {

HalyardEmulator& Emulator() {
    return HalyardEmulator::Instance();
}

bool EmulatorOn() {
    return Emulator().enabled();
}

// The emulator's handles are its task id texts. They are the emulator's to
// answer even after it was switched off (creating a matchmaker does that):
// the client library would take them for its own tasks and crash.
bool IsEmulated(const void* handle) {
    return Emulator().IsEmulatorHandle(handle);
}

const char* AsId(const void* handle) {
    return static_cast<const char*>(handle);
}

hy_task* AsTask(const char* id) {
    return reinterpret_cast<hy_task*>(const_cast<char*>(id));
}

hy_response* AsResponse(const char* id) {
    return reinterpret_cast<hy_response*>(const_cast<char*>(id));
}

int Bool(bool value) {
    return value ? 1 : 0;
}

}  // namespace

extern "C" {

KRMM_API void KRMM_CALL hye_emulator_init(int enable) {
    Emulator().set_enabled(enable != 0);
}

KRMM_API int KRMM_CALL hye_emulator_is_enabled(void) {
    return Bool(EmulatorOn());
}

KRMM_API const char* KRMM_CALL hye_client_get_identity_id(struct hy_client* client) {
    if (EmulatorOn()) {
        return Emulator().GetIdentity(client);
    }
    return hy_client_get_identity_id(client);
}

KRMM_API void KRMM_CALL hye_task_free(struct hy_task* task) {
    if (IsEmulated(task)) {
        Emulator().TaskFree(AsId(task));
        return;
    }
    hy_task_free(task);
}

KRMM_API int KRMM_CALL hye_task_is_pending(struct hy_task* task) {
    if (IsEmulated(task)) {
        return Bool(Emulator().TaskIsPending(AsId(task)));
    }
    return hy_task_is_pending(task);
}

KRMM_API int KRMM_CALL hye_task_is_timed_out(struct hy_task* task) {
    if (IsEmulated(task)) {
        return Bool(Emulator().TaskIsTimedOut(AsId(task)));
    }
    return hy_task_is_timed_out(task);
}

KRMM_API int KRMM_CALL hye_task_is_okay(struct hy_task* task) {
    if (IsEmulated(task)) {
        return Bool(Emulator().TaskIsOkay(AsId(task)));
    }
    return hy_task_is_okay(task);
}

KRMM_API void* KRMM_CALL hye_task_get_request(struct hy_task*) {
    return nullptr;
}

KRMM_API struct hy_response* KRMM_CALL hye_task_fetch_response(struct hy_task* task) {
    if (IsEmulated(task)) {
        return AsResponse(Emulator().TaskFetchResponse(AsId(task)));
    }
    return hy_task_fetch_response(task);
}

KRMM_API const char* KRMM_CALL hye_task_get_error(struct hy_task* task) {
    if (IsEmulated(task)) {
        return nullptr;
    }
    return hy_task_get_error(task);
}

KRMM_API void KRMM_CALL hye_response_free(struct hy_response* response) {
    if (IsEmulated(response)) {
        Emulator().ResponseFree(AsId(response));
        return;
    }
    hy_response_free(response);
}

KRMM_API int32_t KRMM_CALL hye_response_get_status_code(struct hy_response* response) {
    if (IsEmulated(response)) {
        return Emulator().ResponseGetStatusCode(AsId(response));
    }
    return hy_response_get_status_code(response);
}

KRMM_API int KRMM_CALL hye_response_is_okay(struct hy_response* response) {
    if (IsEmulated(response)) {
        return Bool(Emulator().ResponseIsOkay(AsId(response)));
    }
    return hy_response_is_okay(response);
}

KRMM_API const char* KRMM_CALL hye_response_get_header(struct hy_response* response,
                                                       const char* name) {
    if (IsEmulated(response)) {
        return nullptr;
    }
    return hy_response_get_header(response, name);
}

KRMM_API struct hy_json* KRMM_CALL hye_response_get_json(struct hy_response* response) {
    if (IsEmulated(response)) {
        return Emulator().ResponseGetJson(AsId(response));
    }
    return hy_response_get_json(response);
}

KRMM_API struct hy_task* KRMM_CALL
hye_r_matchmaking_ticket(struct hy_client* client, const struct hy_uuid* hopper_id,
                         const struct hy_uuid* group_id, const struct hy_uuid* second_group_id,
                         uint32_t group_size, struct hy_json* attributes, struct hy_json* values) {
    if (EmulatorOn()) {
        return AsTask(Emulator().MatchmakingTicket(client, hopper_id, group_id, second_group_id,
                                                   group_size, attributes, values));
    }
    return hy_r_matchmaking_ticket(client, hopper_id, group_id, second_group_id, group_size,
                                   nullptr, attributes, values);
}

KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_keepalive(struct hy_client* client,
                                                               const char* ticket) {
    if (EmulatorOn()) {
        return AsTask(Emulator().MatchmakingKeepAlive(ticket));
    }
    return hy_r_matchmaking_keepalive(client, ticket);
}

KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_accept(struct hy_client* client,
                                                            const char* ticket) {
    if (EmulatorOn()) {
        return AsTask(Emulator().MatchmakingAccept(ticket));
    }
    return hy_r_matchmaking_accept(client, ticket);
}

KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_cancel(struct hy_client* client,
                                                            const char* ticket, int soft) {
    if (EmulatorOn()) {
        return AsTask(Emulator().MatchmakingCancel(ticket, soft != 0));
    }
    return hy_r_matchmaking_cancel(client, ticket, soft);
}

KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_start(struct hy_client* client,
                                                           const char* ticket,
                                                           struct hy_json* join_info) {
    if (EmulatorOn()) {
        return AsTask(Emulator().MatchmakingStart(ticket, join_info));
    }
    return hy_r_matchmaking_start(client, ticket, join_info);
}

KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_create_proof(struct hy_client* client,
                                                                  const char* ticket) {
    if (EmulatorOn()) {
        return AsTask(Emulator().MatchmakingCreateProof(ticket));
    }
    return hy_r_matchmaking_create_proof(client, ticket);
}

KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_check_proof(struct hy_client* client,
                                                                 const char* proof) {
    if (EmulatorOn()) {
        return AsTask(Emulator().MatchmakingCheckProof(proof));
    }
    return hy_r_matchmaking_check_proof(client, proof);
}

KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_create_manual_proof(struct hy_client* client,
                                                                         const char* argument) {
    if (EmulatorOn()) {
        return AsTask(Emulator().MatchmakingCreateManualProof(argument));
    }
    return hy_r_matchmaking_create_manual_proof(client, argument);
}

}  // extern "C"
