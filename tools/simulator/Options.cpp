#include "Options.h"

#include <map>

namespace KRSimulator {

const char* HopperIdForSize(int32_t match_size) {
    for (const HopperChoice& hopper : KnownHoppers()) {
        if (hopper.match_size == match_size) {
            return hopper.id;
        }
    }
    return nullptr;
}

std::string ValidateOptions(const SimulationOptions& options) {
    if (options.players == 0 || options.players > kMaxPlayers) {
        return "the number of players must be from 1 to " + std::to_string(kMaxPlayers);
    }
    if (KRHalyardEmulator::HopperMatchSize(options.hopper_id) <= 0) {
        return "the emulator forms no matches in hopper '" + options.hopper_id + "'";
    }
    const auto is_fraction = [](double value) { return value >= 0.0 && value <= 1.0; };
    if (!is_fraction(options.decline_fraction) || !is_fraction(options.no_answer_fraction)) {
        return "behaviour fractions must be from 0 to 1";
    }
    if (options.decline_fraction + options.no_answer_fraction > 1.0 + 1e-9) {
        return "the decline and no-answer fractions add up to more than 1";
    }
    if (options.requeue > kMaxRequeue) {
        return "players requeue at most " + std::to_string(kMaxRequeue) + " times";
    }
    if (options.record_player > options.players) {
        return "the recorded player must be from 1 to the number of players (" +
               std::to_string(options.players) + ")";
    }
    if (!options.backend.empty() && !options.faults.empty()) {
        return "faults are injected by the emulator, not by a service: leave out --fault and "
               "--faults with --backend";
    }
    std::map<KRHalyardEmulator::RequestKind, double> fault_total;
    for (const KRHalyardEmulator::FaultRule& rule : options.faults) {
        if (!is_fraction(rule.fraction)) {
            return "fault fractions must be from 0 to 1";
        }
        fault_total[rule.kind] += rule.fraction;
        if (fault_total[rule.kind] > 1.0 + 1e-9) {
            return std::string("the faults of ") + KRHalyardEmulator::RequestKindName(rule.kind) +
                   " requests add up to more than 1";
        }
    }
    if (options.frame_ms == 0 || options.frame_ms > 1000) {
        return "the frame step must be from 1 to 1000 ms";
    }
    // A keep-alive takes two frames to be answered, and one still unanswered
    // when the next is due is cancelled: at a frame or less none completes.
    if (options.heartbeat_ms != 0 && options.heartbeat_ms <= options.frame_ms) {
        return "--heartbeat must be longer than a frame (" + std::to_string(options.frame_ms) +
               " ms): no keep-alive would ever be answered in time";
    }
    if (options.max_time_ms == 0 || options.max_time_ms > kMaxTimeMs) {
        return "the safety limit must be more than 0 and at most 86400 s";
    }
    for (uint32_t ms :
         {options.join_spread_ms, options.start_delay_ms, options.matchmaking_timeout_ms,
          options.accept_timeout_ms, options.start_timeout_ms, options.heartbeat_ms,
          options.think_ms, options.slow_max_ms, options.give_up_ms}) {
        if (ms > kMaxTimeMs) {
            return "times must be at most 86400 s";
        }
    }
    if (options.slow_max_ms == 0 || options.give_up_ms == 0) {
        return "the slow and give-up limits must be more than 0 s";
    }
    if ((options.log_flags & ~0xFFu) != 0) {
        return "log flags are the MMF_LOG_ bits 0x01 to 0x80";
    }
    return "";
}

std::vector<std::string> OptionWarnings(const SimulationOptions& options) {
    std::vector<std::string> warnings;
    const int32_t match_size = KRHalyardEmulator::HopperMatchSize(options.hopper_id);
    if (match_size > 0 && options.players < static_cast<uint32_t>(match_size)) {
        warnings.push_back(std::to_string(options.players) +
                           " players cannot fill one match of this hopper (match size " +
                           std::to_string(match_size) +
                           "): nobody will be matched, every attempt ends in its matchmaking "
                           "timeout");
    }
    return warnings;
}

}  // namespace KRSimulator
