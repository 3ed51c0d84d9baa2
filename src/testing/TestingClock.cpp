#include "KRMatchmakingSystemTesting.h"

#include "util/Clock.h"

// The C face of the clock seam that every MillisecondClock reads; only this
// test-support library carries it, never the shipped shared library.
extern "C" {

void krmm_testing_clock_set(uint32_t ms) {
    KRMatchmakingSystem::TestClock::Set(ms);
}

void krmm_testing_clock_advance(uint32_t ms) {
    KRMatchmakingSystem::TestClock::Advance(ms);
}

void krmm_testing_clock_release(void) {
    KRMatchmakingSystem::TestClock::Release();
}

}  // extern "C"
