#include "util/Clock.h"

#include "platform/Platform.h"

namespace KRMatchmakingSystem {

namespace {
bool g_test_clock_engaged = false;
uint32_t g_test_clock_ms = 0;
}  // namespace

uint32_t MillisecondClock::Now() {
    if (g_test_clock_engaged) {
        return g_test_clock_ms;
    }
    if (factor_ < 0.0) {
        factor_ = 1000.0 / static_cast<double>(KRPlatform::PerformanceFrequency());
    }
    const double ms = static_cast<double>(KRPlatform::PerformanceCounter()) * factor_;
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

namespace TestClock {
void Set(uint32_t ms) {
    g_test_clock_engaged = true;
    g_test_clock_ms = ms;
}
void Advance(uint32_t ms) {
    g_test_clock_engaged = true;
    g_test_clock_ms += ms;
}
void Release() { g_test_clock_engaged = false; }
bool IsEngaged() { return g_test_clock_engaged; }
}  // namespace TestClock

}  // namespace KRMatchmakingSystem
