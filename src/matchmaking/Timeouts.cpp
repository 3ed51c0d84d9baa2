#include "matchmaking/MatchmakingSystem.h"

namespace KRMatchmakingSystem {

namespace {

// In the phases where other players are awaited, a final heartbeat goes out
// this long after the deadline, and the phase is given up after the second.
constexpr uint32_t kFinalHeartbeatGraceMs = 5000;
constexpr uint32_t kGiveUpGraceMs = 10000;
// Recovery heartbeats come 1 s, 2 s, 3 s, ... apart.
constexpr uint32_t kRecoveryStepMs = 1000;

}  // namespace

bool MatchmakingSystem::IsTransientCode(int32_t code) {
    // The backend's answers to a request it could not serve just now.
    return code == 400 || code == 504;
}

void MatchmakingSystem::FailOrRecover(int32_t error, int32_t code, const char* text) {
    // Transient answers are ridden out; anything else ends the attempt.
    if (IsTransientCode(code)) {
        StartErrorRecovery(error, text);
        return;
    }
    TriggerError(error, text);
    EnterRestart();
}

void MatchmakingSystem::StartErrorRecovery(int32_t error, const char* text) {
    Log(KRMM_LOG_WRN, "Trying to recover from error '%s' (%.1f second timeout)...",
        krmm_error_code_to_str(error), Seconds(error_recover_timeout));
    recovery_error_code = error;
    recovery_error_message = text;
    recovery_attempt = 1;
    recovery_next_retry = Now() + recovery_attempt * kRecoveryStepMs;
    recovery_deadline = Now() + error_recover_timeout;
}

void MatchmakingSystem::CheckErrorRecovery() {
    if (IsInactiveState(state_) || recovery_deadline == 0) {
        if (recovery_error_code != 0) {
            Log(KRMM_LOG_WRN, "Recovered from error '%s'!",
                krmm_error_code_to_str(recovery_error_code));
        }
        recovery_error_code = 0;
        recovery_next_retry = 0;
        return;
    }
    if (Now() >= recovery_deadline) {
        Log(KRMM_LOG_WRN,
            "Panicking with error '%s'! Could not recover in %.1f seconds. Restarting "
            "matchmaking...",
            krmm_error_code_to_str(recovery_error_code), Seconds(error_recover_timeout));
        // Copies, so that a callback restarting recovery cannot pull them away.
        // The error code stays set: the next, inactive pass reports the
        // recovery as over.
        const int32_t error = recovery_error_code;
        const String message = recovery_error_message;
        TriggerError(error, message.c_str());
        EnterRestart();
        recovery_deadline = 0;
        return;
    }
    if (recovery_next_retry <= Now()) {
        ++recovery_attempt;
        recovery_next_retry = Now() + recovery_attempt * kRecoveryStepMs;
        SendSingleHeartbeat();
    }
}

void MatchmakingSystem::CheckMatchmakingTimeout() {
    if (IsInactiveState(state_) || !IsPassed(matchmaking_deadline)) {
        return;
    }
    Log(KRMM_LOG_NFO,
        "Timed out while in matchmaking state '%s' (%.0f second timeout) - restarting",
        StateName(state_), Seconds(matchmaking_timeout));
    StopMatchmaking();
    matchmaking_deadline = 0;
    TriggerError(MME_TIMEOUT_FINDING_MATCH, nullptr);
}

void MatchmakingSystem::CheckAcceptTimeout() {
    if ((state_ != MMS_MATCHED && state_ != MMS_ACCEPT_MATCH) || !IsPassed(accept_deadline)) {
        return;
    }
    if (state_ == MMS_MATCHED) {
        // The local player never accepted: the match is lost for us.
        Log(KRMM_LOG_NFO,
            "Timed out while waiting for a local player accept - stopping matchmaking (current "
            "state '%s' Accept timeout: %.1f)...",
            StateName(state_), Seconds(accept_timeout));
        TriggerError(MME_TIMEOUT_WAITING_FOR_LOCAL_ACCEPT, nullptr);
        accept_deadline = 0;
        DeclineMatch(false, false);
        return;
    }
    if (!AwaitFinalHeartbeat(accept_deadline, &accept_final_heartbeat_sent, "accept", "Accept",
                             accept_timeout)) {
        return;
    }
    TriggerError(MME_TIMEOUT_WAITING_FOR_OTHER_ACCEPT, nullptr);
    Log(KRMM_LOG_NFO,
        "Timed out while waiting for other players to accept - continue matchmaking (current "
        "state '%s' Accept timeout: %.1f)...",
        StateName(state_), Seconds(accept_timeout + kGiveUpGraceMs));
    accept_deadline = 0;
    DeclineMatch(true, true);
}

void MatchmakingSystem::CheckStartTimeout() {
    if ((state_ != MMS_ACCEPT_MATCH && state_ != MMS_ACCEPTED_LEADER &&
         state_ != MMS_ACCEPTED_FOLLOWER) ||
        !IsPassed(start_deadline)) {
        return;
    }
    // Finding a server was the leader's own job: no one else to wait for.
    int32_t error = MME_TIMEOUT_LEADER_FINDING_SERVER;
    uint32_t waited = start_timeout;
    if (state_ != MMS_ACCEPTED_LEADER) {
        if (!AwaitFinalHeartbeat(start_deadline, &start_final_heartbeat_sent, "start", "Start",
                                 start_timeout)) {
            return;
        }
        error = MME_TIMEOUT_FOLLOWER_WAIT_FOR_JOIN_INFO;
        waited += kGiveUpGraceMs;
    }
    Log(KRMM_LOG_NFO,
        "Timed out while connecting to server - continue matchmaking... (current state '%s' "
        "Start timeout: %.1f)...",
        StateName(state_), Seconds(waited));
    TriggerError(error, nullptr);
    start_deadline = 0;
    DeclineMatch(true, true);
}

bool MatchmakingSystem::AwaitFinalHeartbeat(MatchmakerTime deadline, bool* final_heartbeat_sent,
                                            const char* phase, const char* phase_title,
                                            uint32_t timeout) {
    const MatchmakerTime now = Now();
    if (now < deadline + kFinalHeartbeatGraceMs) {
        return false;
    }
    // One last look at the backend: its answer may still move us on.
    if (!*final_heartbeat_sent) {
        Log(KRMM_LOG_NFO,
            "Sending final heartbeat before deciding to do %s match time out (current state '%s' "
            "%s timeout: %.1f)...",
            phase, StateName(state_), phase_title, Seconds(timeout + kFinalHeartbeatGraceMs));
        *final_heartbeat_sent = true;
        SendSingleHeartbeat();
    }
    return now >= deadline + kGiveUpGraceMs;
}

}  // namespace KRMatchmakingSystem
