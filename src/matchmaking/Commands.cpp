#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "matchmaking/MatchmakingSystem.h"
#include "requests/TaskMatchmakingAcceptMatch.h"
#include "requests/TaskMatchmakingCreateProof.h"
#include "requests/TaskMatchmakingDeclineMatch.h"
#include "requests/TaskMatchmakingRequestHopperInfo.h"
#include "requests/TaskMatchmakingStartMatch.h"
#include "requests/TaskMatchmakingTicket.h"
#include "tasksystem/TaskManager.h"

namespace KRMatchmakingSystem {

namespace {

// States in which the matchmaker is between attempts and refuses to act.
bool IsResettingState(int32_t state) {
    return state != MMS_IDLE && MatchmakingSystem::IsInactiveState(state);
}

}  // namespace

bool MatchmakingSystem::IsPassed(MatchmakerTime deadline) {
    return deadline != 0 && Now() >= deadline;
}

MatchmakerTime MatchmakingSystem::ArmDeadline(uint32_t timeout) {
    return timeout != 0 ? Now() + timeout : 0;
}

bool MatchmakingSystem::StartMatchmaking(const char* hopper_id, const char* group_id,
                                         const char* second_group_id, uint32_t group_size,
                                         const char* attributes_json, const char* values_json) {
    if (state_ != MMS_IDLE) {
        TriggerError(MME_ALREADY_MATCHMAKING, nullptr);
        Log(KRMM_LOG_NFO,
            "=== Already matchmaking - start matchmaking ignored (%s) ===", StateName(state_));
        return false;
    }
    Log(KRMM_LOG_NFO, "=== Start matchmaking... ===");
    KRTaskSystem::TaskHeap* heap = RequestHeap();
    // Without its ticket request the attempt could never leave
    // MMS_REQUEST_TICKET: refuse it and stay idle.
    if (heap == nullptr ||
        !QueueRequest(new (std::nothrow) TaskMatchmakingTicket(
                          heap, this, hopper_id, group_id, second_group_id, group_size,
                          attributes_json != nullptr ? attributes_json : "",
                          values_json != nullptr ? values_json : ""),
                      &MatchmakingSystem::OnTicketFinished)) {
        Log(KRMM_LOG_ERR,
            "Could not queue the matchmaking ticket request - start matchmaking "
            "failed");
        return false;
    }
    matchmaking_start_time = Now();
    matchmaking_deadline = ArmDeadline(matchmaking_timeout);
    SetState(MMS_REQUEST_TICKET);
    return true;
}

bool MatchmakingSystem::StopMatchmaking() {
    if (state_ == MMS_IDLE) {
        TriggerError(MME_NOT_MATCHMAKING, nullptr);
        Log(KRMM_LOG_NFO, "=== No matchmaking active - stop matchmaking ignored ===");
        return false;
    }
    if (IsInactiveState(state_)) {
        TriggerError(MME_NOT_MATCHMAKING, nullptr);
        Log(KRMM_LOG_NFO,
            "=== Initializing system - stop matchmaking ignored (%s) ===", StateName(state_));
        return false;
    }
    Log(KRMM_LOG_NFO, "=== Stop matchmaking (%s)... ===", StateName(state_));
    if (!ticket_.empty()) {
        QueueDecline();
    }
    SetState(MMS_RESTART);
    return true;
}

void MatchmakingSystem::AcceptMatch() {
    if (state_ != MMS_MATCHED) {
        Log(KRMM_LOG_NFO, "=== No match active - accept match ignored (%s) ===", StateName(state_));
        return;
    }
    if (IsPassed(accept_deadline)) {
        Log(KRMM_LOG_NFO, "=== Cannot accept match - we timed out! (%s) ===", StateName(state_));
        return;
    }
    Log(KRMM_LOG_NFO, "=== Accept match... ===");
    KRTaskSystem::TaskHeap* heap = RequestHeap();
    if (heap == nullptr ||
        !QueueRequest(new (std::nothrow) TaskMatchmakingAcceptMatchRetries(
                          heap, this, ticket_.c_str(), kRequestMaxAttempts, kRequestRetryDelayMs),
                      &MatchmakingSystem::OnAcceptFinished)) {
        // Nobody would ever answer an accept that was not sent.
        FailUnqueuedRequest(MME_INITIAL_ACCEPT_MATCH_REQUEST_FAILED);
        return;
    }
    SetState(MMS_ACCEPT_MATCH);
}

void MatchmakingSystem::DeclineMatch(bool continue_matchmaking, bool send_decline) {
    if (state_ == MMS_IDLE) {
        Log(KRMM_LOG_NFO,
            "=== No match active - decline match ignored (%s) ===", StateName(state_));
        return;
    }
    if (IsInactiveState(state_)) {
        Log(KRMM_LOG_NFO,
            "=== Initializing system - decline match ignored (%s) ===", StateName(state_));
        return;
    }
    if (IsPassed(accept_deadline)) {
        Log(KRMM_LOG_NFO, "=== Cannot decline match - we timed out! (%s) ===", StateName(state_));
        return;
    }
    Log(KRMM_LOG_NFO, "=== Decline match (Continue Matchmaking: '%s')... ===",
        continue_matchmaking ? "true" : "false");
    // A decline that cannot be sent leaves no status to continue with.
    if (send_decline && !QueueDecline()) {
        EnterRestart();
        return;
    }
    // When matchmaking continues, the backend's next status moves us on.
    if (!continue_matchmaking) {
        SetState(MMS_RESTART);
    }
}

bool MatchmakingSystem::QueueDecline() {
    KRTaskSystem::TaskHeap* heap = RequestHeap();
    if (heap != nullptr && QueueRequest(new (std::nothrow) TaskMatchmakingDeclineMatchRetries(
                                            heap, this, ticket_.c_str(), kRequestMaxAttempts,
                                            kRequestRetryDelayMs, false),
                                        &MatchmakingSystem::OnDeclineFinished)) {
        return true;
    }
    Log(KRMM_LOG_WRN, "Could not queue the decline for ticket '%s' - the backend keeps it",
        ticket_.c_str());
    return false;
}

void MatchmakingSystem::FailUnqueuedRequest(int32_t error) {
    Log(KRMM_LOG_ERR, "Could not queue the request (current state '%s') - restarting",
        StateName(state_));
    TriggerError(error, nullptr);
    EnterRestart();
}

void MatchmakingSystem::StartMatch(const char* join_info) {
    if (state_ != MMS_ACCEPTED_LEADER) {
        Log(KRMM_LOG_NFO,
            "=== Not the match leader - start match ignored (%s) ===", StateName(state_));
        return;
    }
    if (IsPassed(start_deadline)) {
        Log(KRMM_LOG_NFO, "=== Cannot start match - we timed out! (%s) ===", StateName(state_));
        return;
    }
    const char* info = join_info != nullptr ? join_info : "";
    Log(KRMM_LOG_NFO, "=== Start match with join info '%s'... ===", info);
    KRTaskSystem::TaskHeap* heap = RequestHeap();
    if (heap == nullptr || !QueueRequest(new (std::nothrow) TaskMatchmakingStartMatchRetries(
                                             heap, this, ticket_.c_str(), kRequestMaxAttempts,
                                             kRequestRetryDelayMs, info),
                                         &MatchmakingSystem::OnStartFinished)) {
        // No phase timeout covers MMS_MATCH_STARTED_WAIT: do not wait there
        // for a request that was never sent.
        FailUnqueuedRequest(MME_INITIAL_START_MATCH_REQUEST_FAILED);
        return;
    }
    SetState(MMS_MATCH_STARTED_WAIT);
}

bool MatchmakingSystem::CreateProof() {
    // Without a ticket (after a match started, for instance) the request is
    // still made; it fails for lack of a ticket and reports that.
    if (!ticket_.empty() && state_ < MMS_MATCHED) {
        Log(KRMM_LOG_NFO, "Can't create proof unless in a match (%s) ===", StateName(state_));
        TriggerError(MME_NOT_IN_MATCH, nullptr);
        return false;
    }
    Log(KRMM_LOG_NFO, "=== Creating Match Proof (current state '%s') ... ===", StateName(state_));
    KRTaskSystem::TaskHeap* heap = RequestHeap();
    if (heap == nullptr) {
        return false;
    }
    return QueueRequest(new (std::nothrow) TaskMatchmakingCreateProofRetries(
                            heap, this, ticket_.c_str(), kRequestMaxAttempts, kRequestRetryDelayMs),
                        &MatchmakingSystem::OnProofFinished);
}

void MatchmakingSystem::RequestHopperInfo(const char* hopper_id) {
    if (IsResettingState(state_)) {
        Log(KRMM_LOG_NFO,
            "=== Cannot request hopper info if not initialized (%s) ===", StateName(state_));
        return;
    }
    Log(KRMM_LOG_NFO,
        "=== Requesting info for hopper id '%s'... ===", hopper_id != nullptr ? hopper_id : "");
    if (KRTaskSystem::TaskHeap* heap = RequestHeap()) {
        QueueRequest(new (std::nothrow) TaskMatchmakingRequestHopperInfoRetries(
                         heap, this, hopper_id, kRequestMaxAttempts, kRequestRetryDelayMs),
                     &MatchmakingSystem::OnHopperInfoComplete);
    }
}

bool MatchmakingSystem::HasHopperInfo(const char* hopper_id) const {
    if (hopper_id == nullptr) {
        return false;
    }
    for (const HopperInfo& info : hopper_infos_) {
        if (std::strcmp(info.id.c_str(), hopper_id) == 0) {
            return true;
        }
    }
    return false;
}

// ---- Finished callbacks. A request cancelled before it made an attempt
// sent nothing and is only released; one that made an attempt reports its
// result, cancelled or not, so that no failure goes unheard. ----

namespace {

// The attempt whose result a retrying request finished with; null when it
// was cancelled before its first attempt.
template <typename Attempt>
const Attempt* UsableAttempt(KRTaskSystem::Task* task) {
    return static_cast<const Attempt*>(static_cast<TaskMatchmakingRetries*>(task)->attempt());
}

}  // namespace

void MatchmakingSystem::OnAcceptFinished(KRTaskSystem::Task* task, bool success, int32_t code,
                                         const char* text, void* user_data) {
    auto* system = static_cast<MatchmakingSystem*>(user_data);
    system->Log(KRMM_LOG_NFO, "%s completed with code %i in %.2fs", task->name(), code,
                task->GetElapsedMs() / 1000.0);
    system->ApplyStatusResult(task, success, code, text, MME_INITIAL_ACCEPT_MATCH_REQUEST_FAILED);
}

void MatchmakingSystem::OnStartFinished(KRTaskSystem::Task* task, bool success, int32_t code,
                                        const char* text, void* user_data) {
    auto* system = static_cast<MatchmakingSystem*>(user_data);
    system->LogRequestCompleted(task, code, text);
    system->ApplyStatusResult(task, success, code, text, MME_INITIAL_START_MATCH_REQUEST_FAILED);
}

void MatchmakingSystem::OnDeclineFinished(KRTaskSystem::Task* task, bool success, int32_t code,
                                          const char* text, void* user_data) {
    auto* system = static_cast<MatchmakingSystem*>(user_data);
    system->LogRequestCompleted(task, code, text);
    // A hard decline leaves the ticket whatever the backend answers, so its
    // failure is only logged; a soft one keeps the attempt and must recover.
    const bool soft = static_cast<TaskMatchmakingDeclineMatchRetries*>(task)->soft();
    if (success || soft) {
        system->ApplyStatusResult(task, success, code, text,
                                  MME_INITIAL_DECLINE_MATCH_REQUEST_FAILED);
    } else {
        delete task;
    }
}

void MatchmakingSystem::ApplyStatusResult(KRTaskSystem::Task* task, bool success, int32_t code,
                                          const char* text, int32_t error) {
    const TaskMatchmaking* attempt = UsableAttempt<TaskMatchmaking>(task);
    if (attempt != nullptr) {
        if (success) {
            UpdateMatchableStatus(attempt->status());
        } else {
            FailOrRecover(error, code, text);
        }
    }
    delete task;
}

void MatchmakingSystem::OnProofFinished(KRTaskSystem::Task* task, bool success, int32_t code,
                                        const char* text, void* user_data) {
    auto* system = static_cast<MatchmakingSystem*>(user_data);
    system->LogRequestCompleted(task, code, text);
    const auto* attempt = UsableAttempt<TaskMatchmakingCreateProof>(task);
    if (attempt != nullptr) {
        if (success) {
            std::string proof_name = std::string("proof_p:") + attempt->proof().c_str();
            char expiry_name[50];
            std::snprintf(expiry_name, sizeof(expiry_name), "proof_e:%" PRId64,
                          attempt->expires_at());
            system->TriggerMsg(proof_name.c_str(), 0, text);
            system->TriggerMsg(expiry_name, 0, text);
        } else {
            system->FailOrRecover(MME_CREATE_PROOF_FAILED, code, text);
        }
    }
    delete task;
}

void MatchmakingSystem::OnHopperInfoComplete(KRTaskSystem::Task* task, bool success, int32_t code,
                                             const char* text, void* user_data) {
    auto* system = static_cast<MatchmakingSystem*>(user_data);
    system->LogTaskCompleted(task, success, code, text);
    const auto* attempt = UsableAttempt<TaskMatchmakingRequestHopperInfo>(task);
    if (!success || attempt == nullptr) {
        system->Log(KRMM_LOG_WRN, "Failed to get hopper info for hopper");
    } else {
        DumpHopperInfo(system, attempt->hopper_info());
        system->hopper_infos_.push_front(attempt->hopper_info());
    }
    delete task;
}

}  // namespace KRMatchmakingSystem
