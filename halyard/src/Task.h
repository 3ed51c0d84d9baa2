#pragma once

#include "LiveCounts.h"
#include "Loopback.h"

// A request in flight. It carries its own copy of the answer, so it stays
// valid after the client that issued it is freed.
struct hy_task {
    explicit hy_task(halyard::Answer answer)
        : answer(std::move(answer)), pollsLeft(this->answer.pendingPolls) {
        halyard::CountCreated(halyard::LiveKind::Task);
    }
    ~hy_task() { halyard::CountFreed(halyard::LiveKind::Task); }
    hy_task(const hy_task&) = delete;
    hy_task& operator=(const hy_task&) = delete;

    bool finished() const { return pollsLeft == 0; }

    halyard::Answer answer;
    uint32_t pollsLeft;  // "pending" answers still to give
};
