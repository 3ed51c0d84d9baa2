#include "Players.h"

#include <algorithm>
#include <cstdio>

#include "KRMatchmakingSystem.h"

namespace KRSimulator {

const char* BehaviourName(Behaviour behaviour) {
    switch (behaviour) {
        case Behaviour::kAccept:
            return "accept";
        case Behaviour::kDecline:
            return "decline";
        case Behaviour::kNoAnswer:
            return "no_answer";
    }
    return "<unknown>";
}

std::string LeaderJoinInfo(uint32_t player) {
    char join_info[96];
    std::snprintf(join_info, sizeof join_info, "{\"server\":\"10.%u.%u.%u\",\"port\":7777}",
                  (player >> 16) & 255, (player >> 8) & 255, player & 255);
    return join_info;
}

const char* RoleName(Role role) {
    switch (role) {
        case Role::kLeader:
            return "leader";
        case Role::kFollower:
            return "follower";
        case Role::kNone:
            break;
    }
    return "";
}

std::vector<Behaviour> AssignBehaviours(const SimulationOptions& options,
                                        std::mt19937_64& generator) {
    const uint32_t count = options.players;
    std::vector<Behaviour> behaviours(count, Behaviour::kAccept);
    const uint32_t decliners =
        std::min(count, static_cast<uint32_t>(options.decline_fraction * count + 0.5));
    const uint32_t silent = std::min<uint32_t>(
        count - decliners, static_cast<uint32_t>(options.no_answer_fraction * count + 0.5));
    for (uint32_t i = 0; i < decliners + silent; ++i) {
        behaviours[i] = i < decliners ? Behaviour::kDecline : Behaviour::kNoAnswer;
    }
    // Fisher-Yates with a plain modulo: the same on every standard library
    // (the distributions of <random> are not).
    for (uint32_t i = count; i > 1; --i) {
        std::swap(behaviours[i - 1], behaviours[generator() % i]);
    }
    return behaviours;
}

int32_t Attempt::EndingError() const {
    for (const RaisedError& error : errors) {
        if (error.role == ErrorRole::kEnded) {
            return error.code;
        }
    }
    return MME_NONE;
}

std::string AttemptOutcome(const Attempt& attempt) {
    if (attempt.started()) {
        return "started";
    }
    const int32_t error = attempt.EndingError();
    if (error != MME_NONE) {
        return krmm_error_code_to_str(error);
    }
    return attempt.behaviour == Behaviour::kDecline && attempt.matched_ms >= 0 ? "declined"
                                                                               : "stopped";
}

}  // namespace KRSimulator
