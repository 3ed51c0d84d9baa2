#include "Task.h"

#include "Client.h"
#include "LastError.h"
#include "Response.h"

extern "C" {

HY_API int HY_CALL hy_task_is_pending(hy_task* task) {
    hy_client* client = task != nullptr ? *task->client : nullptr;
    if (client != nullptr) {
        // A delivery that fails (a message function threw) is reported, but
        // the task goes on as if it had not been due; so does a transfer
        // that could not be moved along (out of memory).
        try {
            halyard::BeginCall(client);
            halyard::Transport* transport = client->transport.get();
            // One advance per round of polls, not one per task: a frame that
            // polls n tasks costs n polls, not n times every transfer.
            if (task->exchange != nullptr && transport != nullptr) {
                if (task->exchange->polledAt == transport->advances()) {
                    transport->Advance();
                }
                task->exchange->polledAt = transport->advances();
            }
        } catch (...) {
            halyard::Caught("hy_task_is_pending");
        }
        ++client->loopback.polls;
    }
    if (task == nullptr || task->finished()) {
        return 0;
    }
    if (task->exchange != nullptr) {
        task->exchange->CountPendingPoll();
    } else {
        --task->pollsLeft;
    }
    return 1;
}

// The loopback backend is always reachable; a service may not answer.
HY_API int HY_CALL hy_task_is_timed_out(hy_task* task) {
    return task != nullptr && task->exchange != nullptr && task->exchange->finished &&
                   task->exchange->timedOut
               ? 1
               : 0;
}

// A finished task always holds a response; only a task still pending is not okay.
HY_API int HY_CALL hy_task_is_okay(hy_task* task) {
    return task != nullptr && task->finished() ? 1 : 0;
}

HY_API hy_response* HY_CALL hy_task_fetch_response(hy_task* task) {
    if (task == nullptr || !task->finished()) {
        return nullptr;
    }
    return halyard::NewResponse(task->result());
}

HY_API const char* HY_CALL hy_task_get_error(hy_task* task) {
    if (task == nullptr || task->exchange == nullptr || task->exchange->error.empty()) {
        return nullptr;
    }
    return task->exchange->error.c_str();
}

HY_API void HY_CALL hy_task_free(hy_task* task) {
    hy_client* client = task != nullptr ? *task->client : nullptr;
    if (client != nullptr && task->exchange != nullptr && !task->exchange->finished &&
        client->transport != nullptr) {
        client->transport->Drop(*task->exchange);
    }
    delete task;
}

}  // extern "C"
