#include "Clock.h"

#include <chrono>

namespace KRHalyardServer {

int64_t SystemClock::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

ManualClock::ManualClock() : now_ms_(SystemClock().NowMs()) {}

}  // namespace KRHalyardServer
