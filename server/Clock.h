#pragma once

#include <cstdint>

namespace KRHalyardServer {

// The service's time: Unix milliseconds. Tokens, proofs, keep-alive expiry
// and the match windows all read the same clock, so a test that drives it
// moves them together.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t NowMs() const = 0;
    int64_t NowSeconds() const { return NowMs() / 1000; }
};

class SystemClock : public Clock {
public:
    int64_t NowMs() const override;
};

// Starts at the wall-clock time it is made and moves only when told.
class ManualClock : public Clock {
public:
    ManualClock();
    int64_t NowMs() const override { return now_ms_; }
    void Advance(int64_t ms) { now_ms_ += ms; }

private:
    int64_t now_ms_;
};

}  // namespace KRHalyardServer
