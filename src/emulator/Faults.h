#pragma once

// Backend faults on demand, for tools that want to see how matchmaking rides
// out a misbehaving backend. Off unless a plan with rules is installed
// (HalyardEmulator::SetFaultPlan): without one, every emulated request is
// answered at once with 200, exactly as before.
//
// A fault decides how one request is answered, when the request is made:
//   - a status code (a 5xx drawn from 500-599, or a fixed code such as 400,
//     404, 409, 422, 504): the request is lost before the hopper sees it, and
//     the answer carries that code and an error body;
//   - slow: the request takes effect at once, but the answer stays pending for
//     a drawn number of polls (1 to the plan's slow limit);
//   - never: the backend never answers. The request is lost, the task stays
//     pending for the plan's give-up limit of polls, then the client library
//     reports it timed out, without a response (status -1 to the caller).
// Polls are hye_task_is_pending calls; a matchmaker polls each request once
// per krmm_process pass.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "halyard.h"

namespace KRHalyardEmulator {

// The request kinds a fault can target. Decline covers every cancel request
// (a declined match as well as leaving the queue).
enum class RequestKind : uint8_t {
    kTicket,
    kKeepAlive,
    kAccept,
    kDecline,
    kStart,
    kProof,
    kHopper,
};
constexpr int kRequestKindCount = 7;

// "ticket", "keepalive", "accept", "decline", "start", "proof", "hopper".
const char* RequestKindName(RequestKind kind);

enum class FaultType : uint8_t {
    kStatus,       // answer with status
    kServerError,  // answer with a code drawn from 500-599
    kSlow,
    kNever,
};

struct FaultRule {
    RequestKind kind;
    FaultType type;
    int32_t status;   // kStatus only
    double fraction;  // of the kind's requests, 0 to 1
};

// How one request is answered.
struct FaultAnswer {
    int32_t status = 200;
    uint32_t pending_polls = 0;
    bool applied = true;     // the hopper saw the request
    bool times_out = false;  // ends timed out, without a response
    bool faulted = false;
};

class FaultPlan {
public:
    FaultPlan() = default;
    // Rules of one kind share the unit interval in their order: a kind with
    // 5xx at 0.1 and slow at 0.2 fails 10 % and is slow 20 % of the time.
    FaultPlan(std::vector<FaultRule> rules, uint64_t seed, uint32_t slow_max_polls,
              uint32_t never_give_up_polls);

    bool empty() const { return rules_.empty(); }
    // Draws the answer for the next request of kind; the draws repeat for a
    // seed and the same sequence of requests.
    FaultAnswer Draw(RequestKind kind);

private:
    std::vector<FaultRule> rules_;
    std::mt19937_64 generator_;
    uint32_t slow_max_polls_ = 1;
    uint32_t never_give_up_polls_ = 1;
};

// One finished request/answer pair, as the exchange observer sees it.
struct Exchange {
    hy_client* client;  // the backend client that asked; null if unknown
    RequestKind kind;
    const char* argument;    // ticket; hopper id for a ticket request; "" for none
    int32_t status;          // -1 when the request timed out without a response
    const char* body;        // last body the caller read, serialised; "" for none
    uint32_t pending_polls;  // polls that found the request still pending
};

}  // namespace KRHalyardEmulator
