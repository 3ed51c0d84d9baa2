#pragma once

#include <cstdint>

#include "Clock.h"
#include "Hoppers.h"
#include "Metrics.h"
#include "Settings.h"
#include "Store.h"

namespace KRHalyardServer {

// What the service's parts share: its store, time, hoppers, settings and
// counters.
struct Context {
    Store& store;
    const Clock& clock;
    const Hoppers& hoppers;
    const Settings& settings;
    Metrics& metrics;

    int64_t Now() const { return clock.NowMs(); }
};

// How often a read-modify-commit is tried before the store counts as away.
constexpr int kCommitAttempts = 5;

}  // namespace KRHalyardServer
