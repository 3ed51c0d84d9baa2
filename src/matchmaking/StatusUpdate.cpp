#include <cstring>

#include "matchmaking/MatchmakingSystem.h"

namespace KRMatchmakingSystem {

namespace {

bool InRange(int32_t state, int32_t first, int32_t last) {
    return state >= first && state <= last;
}

// "UpdateMatchableStatus: Jumping to <target> (<backend state>) while in
// state '<state>' (matchmaker restarting?)": the backend skipped ahead or
// fell back, as it does when its matchmaking service restarts.
void LogJump(MatchmakingSystem* system, int32_t type, const char* target, const char* hy_name) {
    system->Log(type,
                "UpdateMatchableStatus: Jumping to %s (%s) while in state '%s' (matchmaker "
                "restarting?)",
                target, hy_name, MatchmakingSystem::StateName(system->state()));
}

}  // namespace

bool MatchmakingSystem::UpdateEstimatedHopperSize(const MatchableStatus& update) {
    // Only a repeat of the current update can carry a size on its own; a newer
    // update brings its size along when it is stored.
    if (ticket_.empty() || current_status_.matchable_id.empty() ||
        update.matchable_id != current_status_.matchable_id || update.seq != current_status_.seq ||
        update.estimated_hopper_size == current_status_.estimated_hopper_size) {
        return false;
    }
    current_status_.estimated_hopper_size = update.estimated_hopper_size;
    TriggerMsg("hopper_size", static_cast<int32_t>(update.estimated_hopper_size), nullptr);
    return true;
}

bool MatchmakingSystem::CheckMatchableIdAndSequence(const char* matchable_id, uint32_t seq,
                                                    bool* new_matchable) {
    *new_matchable = false;
    const String& current = current_status_.matchable_id;
    if (matchable_id == nullptr || matchable_id[0] == '\0') {
        Log(KRMM_LOG_DBG, "Ignoring empty matchable id (current matchable id: '%s')",
            current.c_str());
        return false;
    }
    if (previous_matchable_id_.Equals(matchable_id)) {
        Log(KRMM_LOG_DBG, "Ignoring old matchable id '%s' (current matchable id: '%s')",
            previous_matchable_id_.c_str(), current.c_str());
        return false;
    }
    if (current.empty() || !current.Equals(matchable_id)) {
        *new_matchable = true;
        return true;
    }
    return seq > current_status_.seq;
}

void MatchmakingSystem::UpdateMatchableStatus(const MatchableStatus& update) {
    if (UpdateEstimatedHopperSize(update)) {
        Log(KRMM_LOG_NFO, "Updated estimated hopper size to %u...",
            current_status_.estimated_hopper_size);
    }
    bool new_matchable = false;
    const char* refusal = nullptr;
    if (!CheckMatchableIdAndSequence(update.matchable_id.c_str(), update.seq, &new_matchable)) {
        refusal =
            "========= IGNORING INVALID MATCHABLE STATUS UPDATE - INVALID ID OR SEQUENCE "
            "=========";
    } else if (ticket_.empty()) {
        refusal = "========= IGNORING INVALID MATCHABLE STATUS UPDATE - NO TICKET =========";
    }
    if (refusal != nullptr) {
        Log(KRMM_LOG_DBG, "%s", refusal);
        if ((flags_ & MMF_LOG_DEBUG) != 0) {
            DumpMatchableStatus(this, update);
        }
        Log(KRMM_LOG_DBG,
            "UpdateMatchableStatus: Ignoring old matchable status with matchable id '%s' and "
            "sequence %i (current '%s':%i)",
            update.matchable_id.c_str(), static_cast<int32_t>(update.seq),
            current_status_.matchable_id.c_str(), static_cast<int32_t>(current_status_.seq));
        return;
    }
    if (IsInactiveState(state_)) {
        if ((flags_ & MMF_LOG_DEBUG) != 0) {
            DumpMatchableStatus(this, update);
        }
        Log(KRMM_LOG_DBG, "Ignoring matchable status update while in state '%s'",
            StateName(state_));
        return;
    }
    current_status_ = update;
    Log(KRMM_LOG_NFO, "========= Matchable Status Update =========");
    DumpMatchableStatus(this, update);
    Log(KRMM_LOG_NFO, "Received matchable status while in %s", StateName(state_));
    ApplyTransition(update.state, new_matchable);
}

void MatchmakingSystem::ApplyTransition(int32_t hy_state, bool new_matchable) {
    const int32_t s = state_;
    const char* hy_name = MatchableStateName(hy_state);
    switch (hy_state) {
        case HY_INITIAL_WAITING:
            if (s == MMS_INITIAL_KEEPALIVE) {
                SetState(MMS_INITIAL_WAITING);
            } else if (InRange(s, MMS_MATCHING, MMS_MATCH_STARTED_WAIT)) {
                LogJump(this, KRMM_LOG_DBG, "initial waiting", hy_name);
                SetState(MMS_INITIAL_WAITING);
            } else if (s != MMS_INITIAL_WAITING) {
                UnexpectedHalyardState(hy_name);
            }
            return;
        case HY_MATCHING:
            if (s == MMS_INITIAL_KEEPALIVE || s == MMS_INITIAL_WAITING || s == MMS_MATCHED) {
                SetState(MMS_MATCHING);
            } else if (InRange(s, MMS_ACCEPT_MATCH, MMS_MATCH_STARTED_WAIT)) {
                LogJump(this, KRMM_LOG_DBG, "matching", hy_name);
                SetState(MMS_MATCHING);
            } else if (s != MMS_MATCHING) {
                UnexpectedHalyardState(hy_name);
            }
            return;
        case HY_MATCHED:
            if (InRange(s, MMS_INITIAL_KEEPALIVE, MMS_MATCHING)) {
                OpenAcceptWindow();
            } else if (s == MMS_ACCEPT_MATCH) {
                // Another match replaces the one we accepted; the accept
                // window already running still bounds it.
                if (new_matchable) {
                    Log(KRMM_LOG_DBG,
                        "UpdateMatchableStatus: Resetting accept - Jumping to matched (%s) while "
                        "in state '%s' (matchmaker restarting?)",
                        hy_name, StateName(s));
                    SetState(MMS_MATCHED);
                }
            } else if (InRange(s, MMS_ACCEPTED_LEADER, MMS_MATCH_STARTED_WAIT)) {
                LogJump(this, KRMM_LOG_DBG, "matched", hy_name);
                OpenAcceptWindow();
            } else if (s != MMS_MATCHED) {
                UnexpectedHalyardState(hy_name);
            }
            return;
        case HY_ACCEPTED:
            if (InRange(s, MMS_INITIAL_KEEPALIVE, MMS_MATCHED)) {
                LogJump(this, KRMM_LOG_DBG, "accepted", hy_name);
                AllAccepted();
            } else if (s == MMS_ACCEPT_MATCH) {
                AllAccepted();
            } else if (!InRange(s, MMS_ACCEPTED_LEADER, MMS_MATCH_STARTED_WAIT)) {
                UnexpectedHalyardState(hy_name);
            }
            return;
        case HY_MATCH_STARTED:
            if (InRange(s, MMS_INITIAL_KEEPALIVE, MMS_MATCHED)) {
                LogJump(this, KRMM_LOG_WRN, "match started", hy_name);
                MatchStarted();
            } else if (InRange(s, MMS_ACCEPT_MATCH, MMS_MATCH_STARTED_WAIT)) {
                MatchStarted();
            } else if (s != MMS_MATCH_STARTED) {
                UnexpectedHalyardState(hy_name);
            }
            return;
        case HY_EXPIRED:
            SetState(MMS_ERR_EXPIRED);
            return;
        case HY_CANCELLED:
            LeaveMatchmakingAttempt(false);
            SetState(MMS_RESTART);
            return;
        default:
            Log(KRMM_LOG_ERR, "UpdateMatchableStatus: Unexpected halyard state '%s'", hy_name);
            TriggerError(MME_UNEXPECTED_HY_STATE, nullptr);
            EnterRestart();
            return;
    }
}

void MatchmakingSystem::UnexpectedHalyardState(const char* hy_name) {
    Log(KRMM_LOG_ERR, "UpdateMatchableStatus: Unexpected halyard state '%s' while in state '%s'",
        hy_name, StateName(state_));
    TriggerError(MME_UNEXPECTED_HY_STATE, nullptr);
    EnterRestart();
}

void MatchmakingSystem::OpenAcceptWindow() {
    accept_deadline = ArmDeadline(accept_timeout);
    accept_final_heartbeat_sent = false;
    SetState(MMS_MATCHED);
    Log(KRMM_LOG_NFO,
        "Setting accept timeout - All players have %.1f seconds to accept the match...",
        Seconds(accept_timeout));
}

void MatchmakingSystem::AllAccepted() {
    // Time since the accept window opened, in the window's own arithmetic.
    const uint32_t accept_took = accept_timeout - accept_deadline + Now();
    Log(KRMM_LOG_NFO,
        "All players have accepted the match in %.1f seconds (timeout %.1f seconds)...",
        Seconds(accept_took), Seconds(accept_timeout));
    accept_deadline = 0;
    start_deadline = ArmDeadline(start_timeout);
    start_final_heartbeat_sent = false;
    Log(KRMM_LOG_NFO,
        "Setting start timeout - Server has %.1f to find a server and start the match...",
        Seconds(start_timeout));
    // The leader is the first member of the first team, in the order the
    // match record holds them.
    bool leader = false;
    const MatchInfo& match = current_status_.match;
    if (!match.teams.empty() && !match.teams.front().members.empty()) {
        const char* own_id = hye_client_get_identity_id(hy_client_);
        leader = own_id != nullptr &&
                 match.teams.front().members.front().identity_id.Equals(own_id) &&
                 own_id[0] != '\0';
    }
    SetState(leader ? MMS_ACCEPTED_LEADER : MMS_ACCEPTED_FOLLOWER);
}

void MatchmakingSystem::MatchStarted() {
    const uint32_t start_took = start_timeout - start_deadline + Now();
    Log(KRMM_LOG_NFO, "Server started the match in %.1f seconds (timeout %.1f seconds)...",
        Seconds(start_took), Seconds(start_timeout));
    Log(KRMM_LOG_NFO, "Found a match in %.3f seconds...", Seconds(Now() - matchmaking_start_time));
    LeaveMatchmakingAttempt(false);
    SetState(MMS_MATCH_STARTED);
}

}  // namespace KRMatchmakingSystem
