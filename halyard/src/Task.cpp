#include "Task.h"

#include "Client.h"
#include "LastError.h"
#include "Response.h"

extern "C" {

HY_API int HY_CALL hy_task_is_pending(hy_task* task) {
    if (task != nullptr && *task->client != nullptr) {
        // A delivery that fails (a message function threw) is reported, but
        // the task goes on as if it had not been due.
        try {
            halyard::BeginCall(*task->client);
        } catch (...) {
            halyard::Caught("hy_task_is_pending");
        }
        ++(*task->client)->loopback.polls;
    }
    if (task == nullptr || task->finished()) {
        return 0;
    }
    --task->pollsLeft;
    return 1;
}

// The loopback backend is always reachable: a task never times out.
HY_API int HY_CALL hy_task_is_timed_out(hy_task* /*task*/) {
    return 0;
}

// A finished task always holds a response; only a task still pending is not okay.
HY_API int HY_CALL hy_task_is_okay(hy_task* task) {
    return task != nullptr && task->finished() ? 1 : 0;
}

HY_API hy_response* HY_CALL hy_task_fetch_response(hy_task* task) {
    if (task == nullptr || !task->finished()) {
        return nullptr;
    }
    return halyard::NewResponse(task->answer);
}

HY_API const char* HY_CALL hy_task_get_error(hy_task* /*task*/) {
    return nullptr;
}

HY_API void HY_CALL hy_task_free(hy_task* task) {
    delete task;
}

}  // extern "C"
