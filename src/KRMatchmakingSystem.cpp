// The flat C interface: each krmm_ function forwards to the matchmaker object
// behind the handle. No exception leaves: every call that may allocate runs
// guarded. The handle is trusted as documented.
#include "KRMatchmakingSystem.h"

#include "matchmaking/MatchmakingSystem.h"
#include "rating/Bayesian.h"
#include "rating/Elo.h"
#include "rating/Glicko2.h"

using KRMatchmakingSystem::MatchableStatus;
using KRMatchmakingSystem::MatchmakingSystem;

namespace {

MatchmakingSystem* System(krmm_matchmaker* handle) {
    return MatchmakingSystem::FromHandle(handle);
}

const MatchableStatus& Status(krmm_matchmaker* handle) {
    return System(handle)->current_status();
}

// A call that may reach the game's callbacks or allocate, run guarded inside
// the matchmaker's CallScope (so that a callback may call back in); on an
// exception it answers fallback.
template <typename Result, typename Method>
Result Call(krmm_matchmaker* handle, Result fallback, Method method) noexcept {
    MatchmakingSystem* system = System(handle);
    return system->Guarded(fallback, [&] { return method(system); });
}

template <typename Method>
void Call(krmm_matchmaker* handle, Method method) noexcept {
    MatchmakingSystem* system = System(handle);
    system->Guarded([&] { method(system); });
}

int Bool(bool value) {
    return value ? 1 : 0;
}

}  // namespace

extern "C" {

// ---- Life cycle ----

KRMM_API krmm_matchmaker* KRMM_CALL krmm_create_matchmaking(struct hy_client* hy_client,
                                                            const char* name, uint32_t flags) {
    MatchmakingSystem* system = KRMatchmakingSystem::Contained(
        static_cast<MatchmakingSystem*>(nullptr),
        [&] { return MatchmakingSystem::Create(hy_client, name, flags); }, [] {});
    return system != nullptr ? system->Handle() : nullptr;
}

KRMM_API void KRMM_CALL krmm_free_matchmaking(krmm_matchmaker* matchmaker) {
    MatchmakingSystem::Destroy(matchmaker != nullptr ? System(matchmaker) : nullptr);
}

KRMM_API void KRMM_CALL krmm_cleanup(krmm_matchmaker* matchmaker) {
    Call(matchmaker, [](MatchmakingSystem* system) { system->Cleanup(); });
}

KRMM_API void KRMM_CALL krmm_restart(krmm_matchmaker* matchmaker) {
    Call(matchmaker, [](MatchmakingSystem* system) { system->Restart(); });
}

KRMM_API int KRMM_CALL krmm_process(krmm_matchmaker* matchmaker) {
    // A pass abandoned on an exception answers 1: the game goes on calling.
    return Bool(
        Call(matchmaker, true, [](MatchmakingSystem* system) { return system->Process(); }));
}

KRMM_API int KRMM_CALL krmm_is_idle(krmm_matchmaker* matchmaker) {
    return Bool(System(matchmaker)->state() == MMS_IDLE);
}

// ---- Callbacks ----

KRMM_API krmm_registration* KRMM_CALL krmm_register_log_callback(krmm_matchmaker* matchmaker,
                                                                 krmm_log_callback callback,
                                                                 void* user_data) {
    // Refusing a null callback writes a line, which reaches the callbacks.
    return Call(matchmaker, static_cast<krmm_registration*>(nullptr),
                [&](MatchmakingSystem* system) {
                    return system->RegisterLogCallback(callback, user_data);
                });
}

KRMM_API krmm_registration* KRMM_CALL krmm_register_msg_callback(krmm_matchmaker* matchmaker,
                                                                 krmm_msg_callback callback,
                                                                 void* user_data) {
    return Call(matchmaker, static_cast<krmm_registration*>(nullptr),
                [&](MatchmakingSystem* system) {
                    return system->RegisterMsgCallback(callback, user_data);
                });
}

// ---- Configuration ----

KRMM_API uint32_t KRMM_CALL krmm_get_flags(krmm_matchmaker* matchmaker) {
    return System(matchmaker)->flags();
}

KRMM_API void KRMM_CALL krmm_set_flags(krmm_matchmaker* matchmaker, uint32_t flags) {
    System(matchmaker)->set_flags(flags);
}

KRMM_API int KRMM_CALL krmm_has_flags(krmm_matchmaker* matchmaker, uint32_t mask) {
    return Bool((System(matchmaker)->flags() & mask) != 0);
}

KRMM_API struct hy_client* KRMM_CALL krmm_get_halyard_client(krmm_matchmaker* matchmaker) {
    return System(matchmaker)->client();
}

KRMM_API const char* KRMM_CALL krmm_get_name(krmm_matchmaker* matchmaker) {
    return System(matchmaker)->name();
}

KRMM_API int32_t KRMM_CALL krmm_get_error_code(krmm_matchmaker* matchmaker) {
    return System(matchmaker)->last_error_code();
}

KRMM_API void KRMM_CALL krmm_set_heartbeat_interval(krmm_matchmaker* matchmaker, uint32_t ms) {
    System(matchmaker)->heartbeat_interval = ms;
}

KRMM_API uint32_t KRMM_CALL krmm_get_heartbeat_interval(krmm_matchmaker* matchmaker) {
    return System(matchmaker)->heartbeat_interval;
}

KRMM_API void KRMM_CALL krmm_set_matchmaking_timeout(krmm_matchmaker* matchmaker, uint32_t ms) {
    System(matchmaker)->matchmaking_timeout = ms;
}

KRMM_API uint32_t KRMM_CALL krmm_get_matchmaking_timeout(krmm_matchmaker* matchmaker) {
    return System(matchmaker)->matchmaking_timeout;
}

KRMM_API void KRMM_CALL krmm_set_accept_timeout(krmm_matchmaker* matchmaker, uint32_t ms) {
    System(matchmaker)->accept_timeout = ms;
}

KRMM_API uint32_t KRMM_CALL krmm_get_accept_timeout(krmm_matchmaker* matchmaker) {
    return System(matchmaker)->accept_timeout;
}

KRMM_API void KRMM_CALL krmm_set_start_timeout(krmm_matchmaker* matchmaker, uint32_t ms) {
    System(matchmaker)->start_timeout = ms;
}

KRMM_API uint32_t KRMM_CALL krmm_get_start_timeout(krmm_matchmaker* matchmaker) {
    return System(matchmaker)->start_timeout;
}

KRMM_API void KRMM_CALL krmm_set_eror_recover_timeout(krmm_matchmaker* matchmaker, uint32_t ms) {
    System(matchmaker)->error_recover_timeout = ms;
}

KRMM_API uint32_t KRMM_CALL krmm_get_error_recover_timeout(krmm_matchmaker* matchmaker) {
    return System(matchmaker)->error_recover_timeout;
}

KRMM_API void KRMM_CALL krmm_set_emulator(krmm_matchmaker* matchmaker, int enable) {
    Call(matchmaker, [enable](MatchmakingSystem* system) { system->SetEmulator(enable != 0); });
}

// ---- Player commands ----

KRMM_API int KRMM_CALL krmm_start_matchmaking(krmm_matchmaker* matchmaker, const char* hopper_id,
                                              const char* group_id, const char* second_group_id,
                                              uint32_t group_size, const char* attributes_json,
                                              const char* values_json) {
    return Bool(Call(matchmaker, false, [&](MatchmakingSystem* system) {
        return system->StartMatchmaking(hopper_id, group_id, second_group_id, group_size,
                                        attributes_json, values_json);
    }));
}

KRMM_API int KRMM_CALL krmm_stop_matchmaking(krmm_matchmaker* matchmaker) {
    return Bool(Call(matchmaker, false,
                     [](MatchmakingSystem* system) { return system->StopMatchmaking(); }));
}

KRMM_API void KRMM_CALL krmm_accept_match(krmm_matchmaker* matchmaker) {
    Call(matchmaker, [](MatchmakingSystem* system) { system->AcceptMatch(); });
}

KRMM_API void KRMM_CALL krmm_decline_match(krmm_matchmaker* matchmaker) {
    Call(matchmaker, [](MatchmakingSystem* system) {
        system->DeclineMatch(/*continue_matchmaking=*/false, /*send_decline=*/true);
    });
}

KRMM_API void KRMM_CALL krmm_start_match(krmm_matchmaker* matchmaker, const char* join_info) {
    Call(matchmaker, [join_info](MatchmakingSystem* system) { system->StartMatch(join_info); });
}

KRMM_API int KRMM_CALL krmm_create_proof(krmm_matchmaker* matchmaker) {
    return Bool(
        Call(matchmaker, false, [](MatchmakingSystem* system) { return system->CreateProof(); }));
}

KRMM_API void KRMM_CALL krmm_request_hopper_info(krmm_matchmaker* matchmaker,
                                                 const char* hopper_id) {
    Call(matchmaker,
         [hopper_id](MatchmakingSystem* system) { system->RequestHopperInfo(hopper_id); });
}

KRMM_API int KRMM_CALL krmm_has_hopper_info(krmm_matchmaker* matchmaker, const char* hopper_id) {
    return Bool(System(matchmaker)->HasHopperInfo(hopper_id));
}

// ---- Match information ----

KRMM_API uint32_t KRMM_CALL krmm_get_estimated_hopper_size(krmm_matchmaker* matchmaker) {
    return Status(matchmaker).estimated_hopper_size;
}

KRMM_API const char* KRMM_CALL krmm_get_group_id(krmm_matchmaker* matchmaker) {
    return Status(matchmaker).group_id.c_str();
}

KRMM_API const char* KRMM_CALL krmm_get_hopper_id(krmm_matchmaker* matchmaker) {
    return Status(matchmaker).hopper_id.c_str();
}

KRMM_API const char* KRMM_CALL krmm_get_match_info_matchable_id(krmm_matchmaker* matchmaker) {
    return Status(matchmaker).matchable_id.c_str();
}

KRMM_API const char* KRMM_CALL krmm_get_match_info_match_id(krmm_matchmaker* matchmaker) {
    return Status(matchmaker).match.id.c_str();
}

KRMM_API const char* KRMM_CALL krmm_get_match_info_matched_json_str(krmm_matchmaker* matchmaker) {
    return Status(matchmaker).match.params.c_str();
}

KRMM_API const char* KRMM_CALL krmm_get_match_info_join_json_str(krmm_matchmaker* matchmaker) {
    return Status(matchmaker).match.join_info.c_str();
}

KRMM_API int32_t KRMM_CALL krmm_get_match_info_num_users(krmm_matchmaker* matchmaker) {
    return Status(matchmaker).match.user_count;
}

KRMM_API int32_t KRMM_CALL krmm_get_match_info_num_users_accepted(krmm_matchmaker* matchmaker) {
    return Status(matchmaker).match.accepted_count;
}

KRMM_API int32_t KRMM_CALL krmm_get_match_info_num_teams(krmm_matchmaker* matchmaker) {
    return Status(matchmaker).match.team_count;
}

KRMM_API int32_t KRMM_CALL krmm_get_match_info_num_team_members(krmm_matchmaker* matchmaker,
                                                                int32_t team) {
    return System(matchmaker)->GetMatchInfoNumTeamMembers(team);
}

KRMM_API const char* KRMM_CALL krmm_get_match_info_team_member_id(krmm_matchmaker* matchmaker,
                                                                  int32_t team, int32_t member) {
    return System(matchmaker)->GetMatchInfoTeamMemberId(team, member);
}

KRMM_API const char* KRMM_CALL krmm_get_match_info_user_json_str(krmm_matchmaker* matchmaker,
                                                                 int32_t user) {
    return System(matchmaker)->GetMatchInfoUserJsonStr(user);
}

// ---- Identity ----

KRMM_API const char* KRMM_CALL krmm_client_get_identity_id(krmm_matchmaker* matchmaker) {
    return System(matchmaker)->ClientIdentityId();
}

KRMM_API struct hy_task* KRMM_CALL krmm_mark_identity_active(krmm_matchmaker* matchmaker,
                                                             int32_t argument) {
    return System(matchmaker)->MarkIdentityActive(argument);
}

// ---- Ratings ----

KRMM_API int KRMM_CALL krmm_rating_elo_update(EloTeam* teams, uint32_t num_teams) {
    return Bool(KRMatchmakingSystem::EloUpdate(teams, num_teams));
}

KRMM_API int KRMM_CALL krmm_rating_glicko2_update(double tau, Glicko2Team* teams,
                                                  uint32_t num_teams) {
    return Bool(KRMatchmakingSystem::Glicko2Update(tau, teams, num_teams));
}

KRMM_API int KRMM_CALL krmm_rating_bayesian_update(double beta_squared, BayesianTeam* teams,
                                                   uint32_t num_teams) {
    return Bool(KRMatchmakingSystem::BayesianUpdate(beta_squared, teams, num_teams));
}

}  // extern "C"
