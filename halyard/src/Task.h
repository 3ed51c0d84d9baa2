#pragma once

#include <memory>

#include "LiveCounts.h"
#include "Loopback.h"

// A request in flight. It carries its own copy of the answer, so it stays
// valid after the client that issued it is freed; its polls count on the
// client while that lives.
struct hy_task {
    hy_task(halyard::Answer answer, std::shared_ptr<hy_client*> client)
        : answer(std::move(answer)),
          pollsLeft(this->answer.pendingPolls),
          client(std::move(client)) {
        halyard::CountCreated(halyard::LiveKind::Task);
    }
    ~hy_task() { halyard::CountFreed(halyard::LiveKind::Task); }
    hy_task(const hy_task&) = delete;
    hy_task& operator=(const hy_task&) = delete;

    bool finished() const { return pollsLeft == 0; }

    halyard::Answer answer;
    uint32_t pollsLeft;  // "pending" answers still to give
    std::shared_ptr<hy_client*> client;
};
