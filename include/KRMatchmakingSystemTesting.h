/*
 * KRMatchmakingSystemTesting - simulated time for a game's integration tests.
 *
 * A static library with the same matchmaker as the shipped shared library,
 * plus the functions below, which put every millisecond clock of the
 * matchmaker (its timeouts, its heartbeat, its tasks' timers) under the
 * test's control. Link it instead of the shared library in a test program,
 * together with halyard (the loopback backend client library): a match that
 * takes minutes of matchmaker time then runs in milliseconds of wall time, and
 * nothing sleeps. The shipped shared library has none of these functions and
 * always reads the platform's clock.
 *
 * It installs with the package as the component Testing:
 * find_package(KRMatchmakingSystem CONFIG REQUIRED COMPONENTS halyard Testing)
 * gives KRMM::KRMatchmakingSystemTesting, and pkg-config the module
 * KRMatchmakingSystemTesting. A C program links it with the C++ runtime its
 * objects need (-lstdc++ -lm with GCC), which both of those add.
 *
 *     krmm_testing_clock_set(0);
 *     ... krmm_create_matchmaking, krmm_start_matchmaking ...
 *     for (frame = 0; frame < 1000; ++frame) {
 *         krmm_testing_clock_advance(16);  // one frame of 16 ms
 *         krmm_process(matchmaker);
 *     }
 *     krmm_testing_clock_release();
 *
 * Set the clock before creating the matchmaker: matchmaker time counts from
 * its creation, and a clock that jumps back by more than it has run looks to
 * the matchmaker like a wrap of the 32-bit counter. Like the matchmaker
 * itself, the clock is for one thread.
 */
#ifndef KR_MATCHMAKING_SYSTEM_TESTING_H
#define KR_MATCHMAKING_SYSTEM_TESTING_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* From now on every matchmaker clock reads ms (milliseconds). */
void krmm_testing_clock_set(uint32_t ms);
/* Moves the simulated clock forward by ms (it wraps at 2^32 like the real
 * one). Engages it if it was not, continuing from its last simulated value
 * (0 at first). */
void krmm_testing_clock_advance(uint32_t ms);
/* The clocks read the platform's counter again. */
void krmm_testing_clock_release(void);

#ifdef __cplusplus
}
#endif

#endif /* KR_MATCHMAKING_SYSTEM_TESTING_H */
