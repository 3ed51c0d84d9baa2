#pragma once

#include <cstdint>

namespace KRMatchmakingSystem {

// Unsigned 32-bit milliseconds from the platform's performance counter. The
// factor 1000 / frequency is computed on first use (-1.0 marks it as not yet
// computed); each reading is counter x factor truncated to 64 bits, of which
// the low 32 bits are used, so differences survive one wrap.
class MillisecondClock {
public:
    uint32_t Now();

private:
    double factor_ = -1.0;
};

// Test seam: while engaged, every MillisecondClock of the process reads this
// value instead of the counter, so tests drive time without sleeping.
namespace TestClock {
void Set(uint32_t ms);
void Advance(uint32_t ms);
void Release();
bool IsEngaged();
}  // namespace TestClock

}  // namespace KRMatchmakingSystem
