// The library's 77 exports as the runtime calls them. Every import and every
// callback uses cdecl, the convention the shipped 32-bit DLL is built with (a
// wrong one shows nothing on x86-64 and corrupts the stack on x86). Texts go
// in as NUL-terminated UTF-8 byte arrays (Utf8.Encode) and come out as the
// library's own pointers (Utf8.Decode): declared as string, a returned text
// would be freed by the runtime although the library owns it.
using System;
using System.Runtime.InteropServices;

namespace KRMatchmakingSystem {

    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    public delegate void LogCallback(IntPtr matchmaker, int logType, IntPtr line, IntPtr userData);

    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    public delegate void MessageCallback(IntPtr matchmaker, IntPtr name, int value, IntPtr text,
                                         IntPtr userData);

    public static class NativeMethods {
        // Resolved as KRMatchmakingSystem.dll on Windows, libKRMatchmakingSystem.so
        // on Linux.
        public const string Library = "KRMatchmakingSystem";

        // ---- Life cycle ----
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_create_matchmaking(IntPtr hyClient, byte[] name,
                                                            uint flags);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void krmm_free_matchmaking(IntPtr matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void krmm_cleanup(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void krmm_restart(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_process(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_is_idle(MatchmakerHandle matchmaker);

        // ---- Callbacks ----
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_register_log_callback(MatchmakerHandle matchmaker,
                                                               LogCallback callback,
                                                               IntPtr userData);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_register_msg_callback(MatchmakerHandle matchmaker,
                                                               MessageCallback callback,
                                                               IntPtr userData);

        // ---- Configuration ----
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint krmm_get_flags(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void krmm_set_flags(MatchmakerHandle matchmaker, uint flags);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_has_flags(MatchmakerHandle matchmaker, uint mask);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_get_halyard_client(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_get_name(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_get_error_code(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void krmm_set_heartbeat_interval(MatchmakerHandle matchmaker, uint ms);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint krmm_get_heartbeat_interval(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void krmm_set_matchmaking_timeout(MatchmakerHandle matchmaker,
                                                               uint ms);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint krmm_get_matchmaking_timeout(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void krmm_set_accept_timeout(MatchmakerHandle matchmaker, uint ms);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint krmm_get_accept_timeout(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void krmm_set_start_timeout(MatchmakerHandle matchmaker, uint ms);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint krmm_get_start_timeout(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void krmm_set_eror_recover_timeout(MatchmakerHandle matchmaker,
                                                                uint ms);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint krmm_get_error_recover_timeout(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void krmm_set_emulator(MatchmakerHandle matchmaker, int enable);

        // ---- Player commands ----
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_start_matchmaking(MatchmakerHandle matchmaker,
                                                        byte[] hopperId, byte[] groupId,
                                                        byte[] secondGroupId, uint groupSize,
                                                        byte[] attributesJson, byte[] valuesJson);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_stop_matchmaking(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void krmm_accept_match(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void krmm_decline_match(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void krmm_start_match(MatchmakerHandle matchmaker, byte[] joinInfo);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_create_proof(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void krmm_request_hopper_info(MatchmakerHandle matchmaker,
                                                           byte[] hopperId);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_has_hopper_info(MatchmakerHandle matchmaker, byte[] hopperId);

        // ---- Match information ----
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint krmm_get_estimated_hopper_size(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_get_group_id(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_get_hopper_id(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_get_match_info_matchable_id(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_get_match_info_match_id(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_get_match_info_matched_json_str(
            MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_get_match_info_join_json_str(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_get_match_info_num_users(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_get_match_info_num_users_accepted(
            MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_get_match_info_num_teams(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_get_match_info_num_team_members(MatchmakerHandle matchmaker,
                                                                      int team);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_get_match_info_team_member_id(MatchmakerHandle matchmaker,
                                                                       int team, int member);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_get_match_info_user_json_str(MatchmakerHandle matchmaker,
                                                                      int user);

        // ---- Names ----
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_log_type_to_str(int logType);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_matchmaking_state_to_str(int state);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_error_code_to_str(int errorCode);

        // ---- Identity ----
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_client_get_identity_id(MatchmakerHandle matchmaker);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr krmm_mark_identity_active(MatchmakerHandle matchmaker,
                                                              int argument);

        // ---- Ratings: the team arrays are pinned for the call ----
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_rating_elo_update([In] EloTeam[] teams, uint numTeams);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_rating_glicko2_update(double tau, [In] Glicko2Team[] teams,
                                                            uint numTeams);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int krmm_rating_bayesian_update(double betaSquared,
                                                             [In] BayesianTeam[] teams,
                                                             uint numTeams);

        // ---- Backend switch ----
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void hye_emulator_init(int enable);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hye_emulator_is_enabled();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hye_client_get_identity_id(IntPtr client);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void hye_task_free(IntPtr task);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hye_task_is_pending(BackendTaskHandle task);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hye_task_is_timed_out(BackendTaskHandle task);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hye_task_is_okay(BackendTaskHandle task);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hye_task_get_request(BackendTaskHandle task);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hye_task_fetch_response(BackendTaskHandle task);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hye_task_get_error(BackendTaskHandle task);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void hye_response_free(IntPtr response);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hye_response_get_status_code(BackendResponseHandle response);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hye_response_is_okay(BackendResponseHandle response);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hye_response_get_header(BackendResponseHandle response,
                                                            byte[] name);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hye_response_get_json(BackendResponseHandle response);
        // The JSON values are handed over: the library frees them.
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hye_r_matchmaking_ticket(IntPtr client, byte[] hopperId,
                                                             byte[] groupId, byte[] secondGroupId,
                                                             uint groupSize, IntPtr attributes,
                                                             IntPtr values);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hye_r_matchmaking_keepalive(IntPtr client, byte[] ticket);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hye_r_matchmaking_accept(IntPtr client, byte[] ticket);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hye_r_matchmaking_cancel(IntPtr client, byte[] ticket,
                                                             int soft);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hye_r_matchmaking_start(IntPtr client, byte[] ticket,
                                                            IntPtr joinInfo);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hye_r_matchmaking_create_proof(IntPtr client, byte[] ticket);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hye_r_matchmaking_check_proof(IntPtr client, byte[] proof);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hye_r_matchmaking_create_manual_proof(IntPtr client,
                                                                          byte[] argument);
    }

}  // namespace KRMatchmakingSystem
