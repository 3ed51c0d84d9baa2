#include "emulator/Faults.h"

#include <utility>

namespace KRHalyardEmulator {

const char* RequestKindName(RequestKind kind) {
    switch (kind) {
        case RequestKind::kTicket:
            return "ticket";
        case RequestKind::kKeepAlive:
            return "keepalive";
        case RequestKind::kAccept:
            return "accept";
        case RequestKind::kDecline:
            return "decline";
        case RequestKind::kStart:
            return "start";
        case RequestKind::kProof:
            return "proof";
        case RequestKind::kHopper:
            return "hopper";
    }
    return "<unknown>";
}

FaultPlan::FaultPlan(std::vector<FaultRule> rules, uint64_t seed, uint32_t slow_max_polls,
                     uint32_t never_give_up_polls)
    : rules_(std::move(rules)),
      generator_(seed),
      slow_max_polls_(slow_max_polls != 0 ? slow_max_polls : 1),
      never_give_up_polls_(never_give_up_polls != 0 ? never_give_up_polls : 1) {}

FaultAnswer FaultPlan::Draw(RequestKind kind) {
    FaultAnswer answer;
    if (rules_.empty()) {
        return answer;
    }
    // 53 random bits: a uniform value in [0, 1), the same on every library.
    const double roll = static_cast<double>(generator_() >> 11) * (1.0 / 9007199254740992.0);
    double upper = 0.0;
    for (const FaultRule& rule : rules_) {
        if (rule.kind != kind) {
            continue;
        }
        upper += rule.fraction;
        if (roll >= upper) {
            continue;
        }
        answer.faulted = true;
        switch (rule.type) {
            case FaultType::kStatus:
                answer.status = rule.status;
                answer.applied = false;
                break;
            case FaultType::kServerError:
                answer.status = 500 + static_cast<int32_t>(generator_() % 100);
                answer.applied = false;
                break;
            case FaultType::kSlow:
                answer.pending_polls = 1 + static_cast<uint32_t>(generator_() % slow_max_polls_);
                break;
            case FaultType::kNever:
                answer.pending_polls = never_give_up_polls_;
                answer.applied = false;
                answer.times_out = true;
                answer.status = -1;
                break;
        }
        break;
    }
    return answer;
}

}  // namespace KRHalyardEmulator
