// The hye_ switch: every matchmaking call of the library goes through here and
// reaches either the client library or the in-process emulator. Calls on an
// existing task or response go to the emulator only for handles it issued, so
// a request in flight is finished by the side that started it. No exception
// leaves a call.
#include "KRMatchmakingSystem.h"
#include "emulator/HalyardEmulator.h"
#include "halyard.h"
#include "util/Contained.h"

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

// Every call runs guarded: out of memory in the emulator answers as a call
// that did nothing (no task, not okay, status -1), with a warning line.
void ReportContained() {
    Emulator().EmulatorLog(KRHalyardEmulator::EMU_LOG_WARNING,
                           "HalyardEmulator: out of memory - call abandoned");
}

template <typename Result, typename Body>
Result Guard(Result fallback, Body&& body) noexcept {
    return KRMatchmakingSystem::Contained(fallback, body, ReportContained);
}

template <typename Body>
void Guard(Body&& body) noexcept {
    KRMatchmakingSystem::Contained(body, ReportContained);
}

}  // namespace

extern "C" {

KRMM_API void KRMM_CALL hye_emulator_init(int enable) {
    Guard([&] { Emulator().set_enabled(enable != 0); });
}

KRMM_API int KRMM_CALL hye_emulator_is_enabled(void) {
    return Guard<int>(0, [&]() -> int { return Bool(EmulatorOn()); });
}

KRMM_API const char* KRMM_CALL hye_client_get_identity_id(struct hy_client* client) {
    return Guard<const char*>(nullptr, [&]() -> const char* {
        if (EmulatorOn()) {
            return Emulator().GetIdentity(client);
        }
        return hy_client_get_identity_id(client);
    });
}

KRMM_API void KRMM_CALL hye_task_free(struct hy_task* task) {
    Guard([&] {
        if (IsEmulated(task)) {
            Emulator().TaskFree(AsId(task));
            return;
        }
        hy_task_free(task);
    });
}

KRMM_API int KRMM_CALL hye_task_is_pending(struct hy_task* task) {
    return Guard<int>(0, [&]() -> int {
        if (IsEmulated(task)) {
            return Bool(Emulator().TaskIsPending(AsId(task)));
        }
        return hy_task_is_pending(task);
    });
}

KRMM_API int KRMM_CALL hye_task_is_timed_out(struct hy_task* task) {
    return Guard<int>(0, [&]() -> int {
        if (IsEmulated(task)) {
            return Bool(Emulator().TaskIsTimedOut(AsId(task)));
        }
        return hy_task_is_timed_out(task);
    });
}

KRMM_API int KRMM_CALL hye_task_is_okay(struct hy_task* task) {
    return Guard<int>(0, [&]() -> int {
        if (IsEmulated(task)) {
            return Bool(Emulator().TaskIsOkay(AsId(task)));
        }
        return hy_task_is_okay(task);
    });
}

KRMM_API void* KRMM_CALL hye_task_get_request(struct hy_task*) {
    return nullptr;
}

KRMM_API struct hy_response* KRMM_CALL hye_task_fetch_response(struct hy_task* task) {
    return Guard<struct hy_response*>(
        nullptr, [&]() -> struct hy_response* {
            if (IsEmulated(task)) {
                return AsResponse(Emulator().TaskFetchResponse(AsId(task)));
            }
            return hy_task_fetch_response(task);
        });
}

KRMM_API const char* KRMM_CALL hye_task_get_error(struct hy_task* task) {
    return Guard<const char*>(nullptr, [&]() -> const char* {
        if (IsEmulated(task)) {
            return nullptr;
        }
        return hy_task_get_error(task);
    });
}

KRMM_API void KRMM_CALL hye_response_free(struct hy_response* response) {
    Guard([&] {
        if (IsEmulated(response)) {
            Emulator().ResponseFree(AsId(response));
            return;
        }
        hy_response_free(response);
    });
}

KRMM_API int32_t KRMM_CALL hye_response_get_status_code(struct hy_response* response) {
    return Guard<int32_t>(-1, [&]() -> int32_t {
        if (IsEmulated(response)) {
            return Emulator().ResponseGetStatusCode(AsId(response));
        }
        return hy_response_get_status_code(response);
    });
}

KRMM_API int KRMM_CALL hye_response_is_okay(struct hy_response* response) {
    return Guard<int>(0, [&]() -> int {
        if (IsEmulated(response)) {
            return Bool(Emulator().ResponseIsOkay(AsId(response)));
        }
        return hy_response_is_okay(response);
    });
}

KRMM_API const char* KRMM_CALL hye_response_get_header(struct hy_response* response,
                                                       const char* name) {
    return Guard<const char*>(nullptr, [&]() -> const char* {
        if (IsEmulated(response)) {
            return nullptr;
        }
        return hy_response_get_header(response, name);
    });
}

KRMM_API struct hy_json* KRMM_CALL hye_response_get_json(struct hy_response* response) {
    return Guard<struct hy_json*>(
        nullptr, [&]() -> struct hy_json* {
            if (IsEmulated(response)) {
                return Emulator().ResponseGetJson(AsId(response));
            }
            return hy_response_get_json(response);
        });
}

KRMM_API struct hy_task* KRMM_CALL
hye_r_matchmaking_ticket(struct hy_client* client, const struct hy_uuid* hopper_id,
                         const struct hy_uuid* group_id, const struct hy_uuid* second_group_id,
                         uint32_t group_size, struct hy_json* attributes, struct hy_json* values) {
    return Guard<struct hy_task*>(
        nullptr, [&]() -> struct hy_task* {
            if (EmulatorOn()) {
                return AsTask(Emulator().MatchmakingTicket(
                    client, hopper_id, group_id, second_group_id, group_size, attributes, values));
            }
            return hy_r_matchmaking_ticket(client, hopper_id, group_id, second_group_id, group_size,
                                           nullptr, attributes, values);
        });
}

KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_keepalive(struct hy_client* client,
                                                               const char* ticket) {
    return Guard<struct hy_task*>(
        nullptr, [&]() -> struct hy_task* {
            if (EmulatorOn()) {
                return AsTask(Emulator().MatchmakingKeepAlive(ticket));
            }
            return hy_r_matchmaking_keepalive(client, ticket);
        });
}

KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_accept(struct hy_client* client,
                                                            const char* ticket) {
    return Guard<struct hy_task*>(
        nullptr, [&]() -> struct hy_task* {
            if (EmulatorOn()) {
                return AsTask(Emulator().MatchmakingAccept(ticket));
            }
            return hy_r_matchmaking_accept(client, ticket);
        });
}

KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_cancel(struct hy_client* client,
                                                            const char* ticket, int soft) {
    return Guard<struct hy_task*>(
        nullptr, [&]() -> struct hy_task* {
            if (EmulatorOn()) {
                return AsTask(Emulator().MatchmakingCancel(ticket, soft != 0));
            }
            return hy_r_matchmaking_cancel(client, ticket, soft);
        });
}

KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_start(struct hy_client* client,
                                                           const char* ticket,
                                                           struct hy_json* join_info) {
    return Guard<struct hy_task*>(
        nullptr, [&]() -> struct hy_task* {
            if (EmulatorOn()) {
                return AsTask(Emulator().MatchmakingStart(ticket, join_info));
            }
            return hy_r_matchmaking_start(client, ticket, join_info);
        });
}

KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_create_proof(struct hy_client* client,
                                                                  const char* ticket) {
    return Guard<struct hy_task*>(
        nullptr, [&]() -> struct hy_task* {
            if (EmulatorOn()) {
                return AsTask(Emulator().MatchmakingCreateProof(ticket));
            }
            return hy_r_matchmaking_create_proof(client, ticket);
        });
}

KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_check_proof(struct hy_client* client,
                                                                 const char* proof) {
    return Guard<struct hy_task*>(
        nullptr, [&]() -> struct hy_task* {
            if (EmulatorOn()) {
                return AsTask(Emulator().MatchmakingCheckProof(proof));
            }
            return hy_r_matchmaking_check_proof(client, proof);
        });
}

KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_create_manual_proof(struct hy_client* client,
                                                                         const char* argument) {
    return Guard<struct hy_task*>(
        nullptr, [&]() -> struct hy_task* {
            if (EmulatorOn()) {
                return AsTask(Emulator().MatchmakingCreateManualProof(argument));
            }
            return hy_r_matchmaking_create_manual_proof(client, argument);
        });
}

}  // extern "C"
