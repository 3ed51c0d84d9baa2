#pragma once

// Error recovery windows of one matchmaker: a request answered 400 or 504 is
// ridden out with extra keep-alives until one gets through or the recovery
// times out. They are read from the matchmaker's own recovery state, not from
// its log lines or the backend's side, so they are counted alike on any
// backend and under any log flags.

#include <cstdint>

#include "KRMatchmakingSystem.h"

namespace KRSimulator {

// Windows opened = recovered + gave_up + cut_short + those still open.
struct RecoveryCounts {
    uint32_t opened = 0;
    uint32_t recovered = 0;  // a keep-alive got through
    uint32_t gave_up = 0;    // its time ran out: the remembered error ended the attempt
    uint32_t cut_short = 0;  // the attempt ended otherwise meanwhile
};

class RecoveryWatch {
public:
    // Looks at the matchmaker after each of its passes and at each of its
    // "state" and "error" messages (raised_error: the error's code, else 0),
    // which between them see every window open and close.
    void Observe(krmm_matchmaker* matchmaker, int32_t raised_error, RecoveryCounts* counts);

private:
    bool open_ = false;
    // Of the last window seen: a window that gave up keeps its deadline
    // until the restart that follows, and must not count as a new one.
    uint32_t deadline_ = 0;
};

}  // namespace KRSimulator
