/*
 * libKRMatchmakingSystem - client-side matchmaking for multiplayer games.
 *
 * The game creates one matchmaker per backend client, registers log and
 * message callbacks, calls krmm_process() once per frame and issues the
 * player's commands. The library starts no thread, takes no lock and never
 * sleeps: every delay is a deadline checked by later krmm_process calls.
 *
 * Threads. A matchmaker must not be used from two threads at once. Each
 * krmm_ call runs on the caller's thread, and the callbacks it triggers run
 * inside it, on that thread. The one exception is the backend client
 * library: krmm_create_matchmaking registers a message function and a log
 * function with it, and the client library calls those on whatever thread it
 * delivers pushed messages and its own log entries on. The matchmaker then
 * applies a pushed status update (changing its state and its match
 * information) and calls the game's message and log callbacks right there,
 * on the delivering thread, without a lock. A game whose client library
 * delivers on a thread of its own (a network thread) must therefore either
 * have it deliver on the game thread (pump the client's delivery from the
 * game loop, between krmm_ calls), or serialise: hold one lock of its own
 * around every krmm_ call on that matchmaker and around the client library's
 * delivery, and write its callbacks to run on either thread. The loopback
 * client (halyard.h) delivers on the thread that pushes; the in-process
 * emulator pushes nothing.
 *
 * Versions. KRMatchmakingSystemVersion.h, included below, gives the version
 * this header belongs to: KRMM_VERSION_MAJOR, KRMM_VERSION_MINOR,
 * KRMM_VERSION_PATCH, KRMM_VERSION_STRING and the comparable KRMM_VERSION.
 *
 * Ownership rules that hold for every function below unless it says
 * otherwise:
 *   - Every function except krmm_free_matchmaking() expects a valid handle
 *     and does not test it for null.
 *   - Texts passed in are copied before the call returns; the caller keeps
 *     ownership of its buffers.
 *   - Texts returned are owned by the matchmaker and stay valid until the
 *     matchmaker next changes that field (for the match accessors: until the
 *     next accepted status update, krmm_restart, krmm_cleanup or
 *     krmm_free_matchmaking). The to-string functions return static texts.
 *   - Boolean results are 0 or 1.
 *   - No function lets an exception out. A call that runs out of memory
 *     half-way is abandoned with the ERR line "Out of memory - the call was
 *     abandoned" and answers 0 or null (krmm_process: 1).
 *
 * This header is plain C (C89 plus <stdint.h>) and may be included from C++.
 */
#ifndef KR_MATCHMAKING_SYSTEM_H
#define KR_MATCHMAKING_SYSTEM_H

#include <stdint.h>

#include "KRMatchmakingSystemVersion.h"

#if defined(_WIN32)
#if defined(KRMM_BUILDING_LIBRARY)
#define KRMM_API __declspec(dllexport)
#elif defined(KRMM_STATIC)
#define KRMM_API
#else
#define KRMM_API __declspec(dllimport)
#endif
#define KRMM_CALL __cdecl
#else
#if defined(KRMM_BUILDING_LIBRARY)
#define KRMM_API __attribute__((visibility("default")))
#else
#define KRMM_API
#endif
#define KRMM_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Backend client library handles (opaque; defined by halyard.h). */
struct hy_client;
struct hy_task;
struct hy_response;
struct hy_json;
struct hy_uuid;

/* One matchmaker. Created by krmm_create_matchmaking, owned by the game. */
typedef struct krmm_matchmaker krmm_matchmaker;

/* Registration token of a callback; owned by the matchmaker, freed by
 * krmm_cleanup / krmm_free_matchmaking. There is no way to remove a single
 * callback. */
typedef struct krmm_registration krmm_registration;

/* Matchmaker states (krmm_matchmaking_state_to_str gives the names). */
enum {
    MMS_INIT = 0,
    MMS_IDLE = 1,
    MMS_RESTART = 2,
    MMS_REQUEST_TICKET = 3,
    MMS_INITIAL_KEEPALIVE = 4,
    MMS_INITIAL_WAITING = 5,
    MMS_MATCHING = 6,
    MMS_MATCHED = 7,
    MMS_ACCEPT_MATCH = 8,
    MMS_ACCEPTED_LEADER = 9,
    MMS_ACCEPTED_FOLLOWER = 10,
    MMS_MATCH_STARTED_WAIT = 11,
    MMS_MATCH_STARTED = 12,
    MMS_ERR_EXPIRED = 13,
    MMS_ERR_DECLINED = 14
};

/* Errors raised through the "error" message (0 means none). */
enum {
    MME_NONE = 0,
    MME_REQUEST_TICKET_FAILED = 1,
    MME_INITIAL_KEEPALIVE_REQUEST_FAILED = 2,
    MME_INITIAL_KEEPALIVE_UNEXPECTED_STATE = 3,
    MME_TICKET_EXPIRED = 4,
    MME_UNEXPECTED_HY_STATE = 5,
    MME_INITIAL_ACCEPT_MATCH_REQUEST_FAILED = 6,
    MME_INITIAL_DECLINE_MATCH_REQUEST_FAILED = 7,
    MME_INITIAL_START_MATCH_REQUEST_FAILED = 8,
    MME_KEEPALIVE_REQUEST_FAILED = 9,
    MME_NOT_MATCHMAKING = 10,
    MME_ALREADY_MATCHMAKING = 11,
    MME_NOT_IN_MATCH = 12,
    MME_CREATE_PROOF_FAILED = 13,
    MME_TIMEOUT_WAITING_FOR_OTHER_ACCEPT = 14,
    MME_TIMEOUT_WAITING_FOR_LOCAL_ACCEPT = 15,
    MME_TIMEOUT_FOLLOWER_WAIT_FOR_JOIN_INFO = 16,
    MME_TIMEOUT_LEADER_FINDING_SERVER = 17,
    MME_TIMEOUT_FINDING_MATCH = 18,
    MME_HOPPER_DOES_NOT_EXIST = 19,
    MME_REQUEST_TICKET_USER_PARAMS_INCORRECT = 20,
    MME_REQUEST_TICKET_SERVER_ERROR = 21
};

/* Log line types, one bit each (krmm_log_type_to_str gives the names). */
enum {
    KRMM_LOG_NFO = 1,
    KRMM_LOG_DBG = 2,
    KRMM_LOG_WRN = 4,
    KRMM_LOG_ERR = 8,
    KRMM_LOG_HYD = 16,
    KRMM_LOG_HYN = 32,
    KRMM_LOG_HYW = 64,
    KRMM_LOG_HYE = 128,
    KRMM_LOG_TSN = 256,
    KRMM_LOG_TSD = 512,
    KRMM_LOG_TSW = 1024,
    KRMM_LOG_TSE = 2048
};

/* Matchmaker flags. Other bits are stored and ignored. */
#define MMF_LOG_HY_INFO 0x001u   /* deliver HYD and HYN lines */
#define MMF_LOG_HY_ERRORS 0x002u /* deliver HYW and HYE lines */
#define MMF_LOG_TS_INFO 0x004u   /* deliver TSN and TSD lines */
#define MMF_LOG_TS_ERRORS 0x008u /* deliver TSW and TSE lines */
#define MMF_LOG_INFO 0x010u      /* deliver NFO lines */
#define MMF_LOG_DEBUG 0x020u     /* deliver DBG lines; dump ignored status updates */
#define MMF_LOG_WARNING 0x040u   /* deliver WRN lines */
#define MMF_LOG_ERROR 0x080u     /* deliver ERR lines */
#define MMF_AUTO_ACCEPT 0x100u   /* accept a found match without the game */
#define MMF_AUTO_START 0x200u    /* as leader, start the match without join info */

/* Receives each finished log line, of the types the matchmaker's flags let
 * through (MMF_LOG_*), newest registration first. The line reads
 *     [UTC time][matchmaker seconds][pass][name][type][match id or IDLE] message
 * for example "[2024-05-01 12:00:00][12.345][07][player1][NFO][IDLE] ...".
 * Lines written while the matchmaker handles what the client library
 * delivers (its own log entries, types HYD to HYE, and all that a pushed
 * message causes) arrive on the client library's delivering thread (see
 * Threads above); all others on the thread of the krmm_ call. The line is
 * valid during the call only. */
typedef void(KRMM_CALL* krmm_log_callback)(krmm_matchmaker* matchmaker, int32_t log_type,
                                           const char* line, void* user_data);

/* Receives named messages, newest registration first. Each has a name, a
 * value and a text that may be null:
 *   "state"        value: the new state (MMS_*), after every state change;
 *                  text: null.
 *   "idle"         value: 1 on entering MMS_IDLE, 0 on leaving it; sent right
 *                  after "state", only when idleness changes; text: null.
 *   "error"        value: the error (MME_*, also krmm_get_error_code from then
 *                  on); text: the backend's response text, or null. The
 *                  message changes no state itself; the "state" messages
 *                  around it tell what followed (a refused command changes
 *                  nothing, a failed attempt passes through MMS_RESTART back
 *                  to MMS_IDLE). MME_NOT_MATCHMAKING with the text
 *                  "out of memory": no new task manager could be allocated
 *                  (see krmm_restart).
 *   "hopper_size"  value: the backend's new estimate of the hopper's size,
 *                  when an update changes only that (same sequence number);
 *                  a newer status changes krmm_get_estimated_hopper_size
 *                  without this message. Text: null.
 *   "proof_p:<proof>"   the proof of krmm_create_proof, inside the name;
 *   "proof_e:<expiry>"  then its expiry time as the client library gives
 *                  it, in signed decimal, inside the name. Value 0 for both;
 *                  text: the backend's response text for both.
 * Messages pushed by the backend arrive on the client library's delivering
 * thread (see Threads above). The name and the text are valid during the
 * call only. */
typedef void(KRMM_CALL* krmm_msg_callback)(krmm_matchmaker* matchmaker, const char* name,
                                           int32_t value, const char* text, void* user_data);

/* Calling back from a callback. Log and message callbacks run synchronously
 * inside the krmm_ call (or the client library's delivery) that produced the
 * line or message. From any of them the game may call any krmm_ function of
 * the same matchmaker:
 *   - krmm_restart clears the attempt's data (ticket, deadlines, match info)
 *     before it returns and gives the matchmaker a fresh task manager at
 *     once; the old one, with whatever was queued on it, is cancelled and
 *     drained when the outermost call returns, and the finished requests
 *     report as they would after a restart made there.
 *   - krmm_cleanup frees every callback at once (callbacks not yet reached
 *     for the current line or message are not called) and drops the task
 *     manager the same way; it is final (see krmm_cleanup): free the
 *     matchmaker afterwards, inside the callback or later.
 *   - krmm_free_matchmaking cleans up at once; the matchmaker's memory is
 *     released when the outermost call returns. The handle must not be used
 *     afterwards, not even by the rest of the callback.
 *   - krmm_process does not run a pass inside another call (which may be in
 *     the middle of a pass): it only returns its result.
 *   - Commands queue their requests as usual; a start, accept or stop made
 *     after a restart in the same callback goes to the new task manager. */

/* ---- Life cycle ------------------------------------------------------- */

/* Creates a matchmaker in MMS_IDLE. hy_client is referred to, not owned, and
 * may be null (the matchmaker then only works with the emulator). name may be
 * null; at most 49 characters are kept. Switches the process-wide emulator
 * off. Returns null if the object or its task manager cannot be allocated.
 * One client per player: the backend, and the emulator too, knows a player by
 * its client's identity. The emulator gives each client handle one identity,
 * so matchmakers created with the same client, or all with a null client,
 * are one player to it: each then takes itself for the match's first member
 * and every one of them leads. Give each player its own client
 * (hy_client_create(NULL) in the loopback library draws a new identity).
 *
 * What one matchmaker holds: its object (440 bytes in a 64-bit build), one
 * task manager block (the manager with its fixed 262,144-byte task heap, and
 * 4,160 bytes that place it apart from other managers in the processor's
 * caches: 266,448 bytes in a 64-bit build, a little less in a 32-bit one),
 * its texts, callback registrations and hopper infos, and the request tasks
 * in flight. A restart replaces the block, freeing the old one before it
 * returns (inside a callback: when the outermost call returns). Every block
 * goes back to the C runtime when it is freed, whichever thread frees it;
 * the library keeps no memory of its own beyond its live matchmakers and the
 * emulator. */
KRMM_API krmm_matchmaker* KRMM_CALL krmm_create_matchmaking(struct hy_client* hy_client,
                                                            const char* name, uint32_t flags);
/* Cleans up as krmm_cleanup, then frees the matchmaker. Null does nothing.
 * Every text obtained from the matchmaker becomes invalid. From a callback:
 * see "Calling back from a callback" above.
 * Waiting: clean-up, freeing and krmm_restart end every request still in
 * flight before they return, and a request ends only when the client library
 * says it is no longer pending (cancelling does not abort it). The emulator
 * and the loopback answer at once; a networked client (hyn_client_connect)
 * may keep a request in flight up to its request timeout, 10 s by default.
 * A game that must not wait there stops matchmaking and keeps calling
 * krmm_process until krmm_is_idle before freeing, or lowers the timeout with
 * hyn_client_set_timeout. */
KRMM_API void KRMM_CALL krmm_free_matchmaking(krmm_matchmaker* matchmaker);
/* Frees all callbacks, drains and destroys the task manager, unregisters from
 * the client. Afterwards only krmm_restart or krmm_free_matchmaking may be
 * called (krmm_process does nothing until then). Clean-up is final for the
 * client registrations: nothing registers the matchmaker with the client
 * library again, so after a krmm_restart it would no longer hear pushed
 * status updates or the client's log lines. To carry on, free the matchmaker
 * and create a new one. */
KRMM_API void KRMM_CALL krmm_cleanup(krmm_matchmaker* matchmaker);
/* Rebuilds the task manager and clears the attempt's data; the state is kept.
 * Requests still queued are cancelled and their finished callbacks run.
 * When no new task manager can be allocated, the old one stays with its
 * requests cancelled, the ERR line "Out of memory - no new task manager,
 * trying again on the next pass" and the "error" message MME_NOT_MATCHMAKING
 * with the text "out of memory" are sent once, and later krmm_process calls
 * try again until one is made. The same holds for the restart that ends every
 * attempt (it waits in MMS_RESTART meanwhile; an attempt still running goes
 * on with the old manager) and for the periodic replacement of the manager. */
KRMM_API void KRMM_CALL krmm_restart(krmm_matchmaker* matchmaker);
/* One pass; call once per frame. Returns 1 while the state is not MMS_IDLE. */
KRMM_API int KRMM_CALL krmm_process(krmm_matchmaker* matchmaker);
KRMM_API int KRMM_CALL krmm_is_idle(krmm_matchmaker* matchmaker);

/* ---- Callbacks -------------------------------------------------------- */

/* Callbacks are called newest first. The token is owned by the matchmaker;
 * null if no node could be allocated, or if callback is null (refused, with a
 * WRN line). */
KRMM_API krmm_registration* KRMM_CALL krmm_register_log_callback(krmm_matchmaker* matchmaker,
                                                                 krmm_log_callback callback,
                                                                 void* user_data);
KRMM_API krmm_registration* KRMM_CALL krmm_register_msg_callback(krmm_matchmaker* matchmaker,
                                                                 krmm_msg_callback callback,
                                                                 void* user_data);

/* ---- Configuration ---------------------------------------------------- */

KRMM_API uint32_t KRMM_CALL krmm_get_flags(krmm_matchmaker* matchmaker);
KRMM_API void KRMM_CALL krmm_set_flags(krmm_matchmaker* matchmaker, uint32_t flags);
/* 1 when flags AND mask is not 0. */
KRMM_API int KRMM_CALL krmm_has_flags(krmm_matchmaker* matchmaker, uint32_t mask);
KRMM_API struct hy_client* KRMM_CALL krmm_get_halyard_client(krmm_matchmaker* matchmaker);
/* Owned by the matchmaker; valid until it is freed. */
KRMM_API const char* KRMM_CALL krmm_get_name(krmm_matchmaker* matchmaker);
/* Last error raised (0 if none yet). */
KRMM_API int32_t KRMM_CALL krmm_get_error_code(krmm_matchmaker* matchmaker);

/* Durations in milliseconds. A timeout of 0 disables it. Each setting is
 * read when its phase opens, so a change applies from the next such phase. */

/* Keep-alive interval while a ticket is held (default 17000): one keep-alive
 * request per interval, each answer bringing the backend's status. Read when
 * the ticket arrives. Lower limit: a keep-alive is sent by one krmm_process
 * call and its answer read by a later one, and a keep-alive still unanswered
 * when the next is due is cancelled and its answer ignored. The interval must
 * therefore be longer than the time between two krmm_process calls plus the
 * backend's answer time. With 0, or an interval of one frame or less, no
 * keep-alive ever completes, no status arrives and every attempt ends in
 * MME_TIMEOUT_FINDING_MATCH (0 does not switch the heartbeat off). */
KRMM_API void KRMM_CALL krmm_set_heartbeat_interval(krmm_matchmaker* matchmaker, uint32_t ms);
KRMM_API uint32_t KRMM_CALL krmm_get_heartbeat_interval(krmm_matchmaker* matchmaker);
/* Bounds a whole attempt, from krmm_start_matchmaking until the match starts
 * (default 10800000, three hours): then the matchmaker stops, raises
 * MME_TIMEOUT_FINDING_MATCH and restarts. */
KRMM_API void KRMM_CALL krmm_set_matchmaking_timeout(krmm_matchmaker* matchmaker, uint32_t ms);
KRMM_API uint32_t KRMM_CALL krmm_get_matchmaking_timeout(krmm_matchmaker* matchmaker);
/* Time to accept a found match (default 20000): a player who has not
 * accepted by then gets MME_TIMEOUT_WAITING_FOR_LOCAL_ACCEPT and a restart;
 * one who has, while the others have not, gets a last keep-alive 5 s later
 * and, 10 s after the timeout, MME_TIMEOUT_WAITING_FOR_OTHER_ACCEPT, a
 * decline and further matchmaking. */
KRMM_API void KRMM_CALL krmm_set_accept_timeout(krmm_matchmaker* matchmaker, uint32_t ms);
KRMM_API uint32_t KRMM_CALL krmm_get_accept_timeout(krmm_matchmaker* matchmaker);
/* Time to start an accepted match (default 20000): a leader that has not
 * called krmm_start_match by then gets MME_TIMEOUT_LEADER_FINDING_SERVER; a
 * player still waiting for the leader gets a last keep-alive 5 s later and,
 * 10 s after the timeout, MME_TIMEOUT_FOLLOWER_WAIT_FOR_JOIN_INFO. Both
 * decline the match and go on matchmaking. */
KRMM_API void KRMM_CALL krmm_set_start_timeout(krmm_matchmaker* matchmaker, uint32_t ms);
KRMM_API uint32_t KRMM_CALL krmm_get_start_timeout(krmm_matchmaker* matchmaker);
/* How long the matchmaker rides out a transient backend failure (a request
 * answered 400 or 504), sending keep-alives 1, 2, 3... s apart, before it
 * raises the request's error and restarts (default 10000); a keep-alive that
 * succeeds ends the recovery. (sic: the setter's name is spelled "eror".) */
KRMM_API void KRMM_CALL krmm_set_eror_recover_timeout(krmm_matchmaker* matchmaker, uint32_t ms);
KRMM_API uint32_t KRMM_CALL krmm_get_error_recover_timeout(krmm_matchmaker* matchmaker);

/* Switches the process-wide backend emulator on or off for every matchmaker.
 * Creating a matchmaker switches it off: switch it on after the last
 * creation. The emulator knows three hoppers, each forming a match as soon as
 * enough players wait:
 *   "dcb02466-a5de-5d58-8ce3-552e6c7747ae"   1 player,  one team
 *   "0e6976d1-1655-5da5-8354-3d3a38537aed"   2 players, two teams of 1
 *   "30ac7aba-e072-52cf-b30d-d88c2ff89f76"  10 players, two teams of 5
 * Any other hopper id is accepted and never forms a match: the player waits
 * until the matchmaking timeout (MME_TIMEOUT_FINDING_MATCH). The emulator
 * writes a line "[HYE][level] text" for every call to the process's
 * standard output (and the debugger output on Windows), whatever the log
 * flags; keep the game's own console output on another stream, or send
 * standard output elsewhere, to keep them apart. It passes no join info on
 * (the match's join info reads "{}") and pushes no messages. */
KRMM_API void KRMM_CALL krmm_set_emulator(krmm_matchmaker* matchmaker, int enable);

/* ---- Player commands -------------------------------------------------- */

/* Asks for a ticket in the hopper. group_id, second_group_id, the JSON texts
 * may be null. Returns 1 when the request was queued (only in MMS_IDLE). */
KRMM_API int KRMM_CALL krmm_start_matchmaking(krmm_matchmaker* matchmaker, const char* hopper_id,
                                              const char* group_id, const char* second_group_id,
                                              uint32_t group_size, const char* attributes_json,
                                              const char* values_json);
/* Abandons the attempt: declines the ticket, if there is one, and passes
 * through MMS_RESTART back to MMS_IDLE. Returns 1 when a stop was performed
 * (0, with MME_NOT_MATCHMAKING, when there was nothing to stop). A stop while
 * the ticket request is still out (MMS_REQUEST_TICKET) cannot recall it: if
 * the backend's answer is read before the restart is done, the matchmaker
 * takes the ticket up, enters MMS_INITIAL_KEEPALIVE and goes on matchmaking.
 * A game that still wants to stop calls krmm_stop_matchmaking again once the
 * "state" message reports MMS_INITIAL_KEEPALIVE. */
KRMM_API int KRMM_CALL krmm_stop_matchmaking(krmm_matchmaker* matchmaker);
KRMM_API void KRMM_CALL krmm_accept_match(krmm_matchmaker* matchmaker);
KRMM_API void KRMM_CALL krmm_decline_match(krmm_matchmaker* matchmaker);
/* Leader only. join_info is a JSON text for the other players; may be null. */
KRMM_API void KRMM_CALL krmm_start_match(krmm_matchmaker* matchmaker, const char* join_info);
/* Requests a proof of the ticket; the result arrives as "proof_p:"/"proof_e:". */
KRMM_API int KRMM_CALL krmm_create_proof(krmm_matchmaker* matchmaker);
KRMM_API void KRMM_CALL krmm_request_hopper_info(krmm_matchmaker* matchmaker,
                                                 const char* hopper_id);
KRMM_API int KRMM_CALL krmm_has_hopper_info(krmm_matchmaker* matchmaker, const char* hopper_id);

/* ---- Match information (read the last accepted status update) --------- */

/* These read the last status the backend reported for this player's
 * matchable and change nothing. Texts are owned by the matchmaker and stay
 * valid until the next accepted status update, krmm_restart, krmm_cleanup or
 * krmm_free_matchmaking; copy what must last longer. An empty field reads as
 * "" (never null). On a new matchmaker, and after the restart that follows
 * every attempt, every text is "" and every count 0 (a member id reads as
 * the invalid-index text below).
 *
 * Reading a match: the match stays readable in MMS_MATCH_STARTED and
 * MMS_RESTART; the restart that follows clears it, so read the join
 * information when the "state" message reports MMS_MATCH_STARTED.
 *
 * Order: teams and members are numbered in the reverse of the backend's JSON
 * order. Team 0 is the last non-empty team array of the status's "teams"
 * (empty arrays are skipped and not counted), team 1 the one before it, and
 * so on; member 0 of a team is the last user of that team's array. When
 * everyone has accepted, member 0 of team 0 becomes the leader. */

/* The backend's estimate of the number of entries in the hopper. */
KRMM_API uint32_t KRMM_CALL krmm_get_estimated_hopper_size(krmm_matchmaker* matchmaker);
/* The status's "group_id", "hopper_id" and "matchable_id". */
KRMM_API const char* KRMM_CALL krmm_get_group_id(krmm_matchmaker* matchmaker);
KRMM_API const char* KRMM_CALL krmm_get_hopper_id(krmm_matchmaker* matchmaker);
KRMM_API const char* KRMM_CALL krmm_get_match_info_matchable_id(krmm_matchmaker* matchmaker);
/* The match id; "" while no match has been found. */
KRMM_API const char* KRMM_CALL krmm_get_match_info_match_id(krmm_matchmaker* matchmaker);
/* The match's "params" and its "join_info" (the leader's krmm_start_match
 * text as the backend reports it), as JSON texts. */
KRMM_API const char* KRMM_CALL krmm_get_match_info_matched_json_str(krmm_matchmaker* matchmaker);
KRMM_API const char* KRMM_CALL krmm_get_match_info_join_json_str(krmm_matchmaker* matchmaker);
/* Users over all teams, users that have accepted, and non-empty teams. */
KRMM_API int32_t KRMM_CALL krmm_get_match_info_num_users(krmm_matchmaker* matchmaker);
KRMM_API int32_t KRMM_CALL krmm_get_match_info_num_users_accepted(krmm_matchmaker* matchmaker);
KRMM_API int32_t KRMM_CALL krmm_get_match_info_num_teams(krmm_matchmaker* matchmaker);
/* The member count the match reports for a team (0-based); 0 when there is
 * no such team, a negative index included. */
KRMM_API int32_t KRMM_CALL krmm_get_match_info_num_team_members(krmm_matchmaker* matchmaker,
                                                                int32_t team);
/* The identity id of a member (team and member 0-based). When there is no
 * such team or member, negative indexes included, the static text
 * "<GetMatchInfoTeamMemberId: invalid team or member index>". */
KRMM_API const char* KRMM_CALL krmm_get_match_info_team_member_id(krmm_matchmaker* matchmaker,
                                                                  int32_t team, int32_t member);
/* The "attributes" JSON text of a user, counted from 1 over team 0's
 * members, then team 1's, and so on; "" for 0, a negative number or one past
 * the last user. */
KRMM_API const char* KRMM_CALL krmm_get_match_info_user_json_str(krmm_matchmaker* matchmaker,
                                                                 int32_t user);

/* ---- Names ------------------------------------------------------------ */

KRMM_API const char* KRMM_CALL krmm_log_type_to_str(int32_t log_type);
KRMM_API const char* KRMM_CALL krmm_matchmaking_state_to_str(int32_t state);
KRMM_API const char* KRMM_CALL krmm_error_code_to_str(int32_t error_code);

/* ---- Identity --------------------------------------------------------- */

/* The local player's identity id (from the emulator when it is enabled).
 * Owned by the client library, valid as long as it says (the loopback's:
 * until hy_client_free), or by the emulator, valid for the rest of the
 * process. */
KRMM_API const char* KRMM_CALL krmm_client_get_identity_id(krmm_matchmaker* matchmaker);
/* Passes the call to the client library and returns its task, which the game
 * owns and frees with hye_task_free. With the emulator enabled nothing is
 * called and the result is null. */
KRMM_API struct hy_task* KRMM_CALL krmm_mark_identity_active(krmm_matchmaker* matchmaker,
                                                             int32_t argument);

/* ---- Ratings (stateless; records live in the caller's memory) --------- */

typedef struct EloPlayer {
    double rating;   /* read and overwritten */
    double k_factor; /* read only */
} EloPlayer;

typedef struct EloTeam {
    uint32_t rank; /* lower rank wins; equal ranks draw */
    EloPlayer* players;
    uint32_t player_count;
} EloTeam;

typedef struct Glicko2Player {
    double rating;
    double deviation;
    double volatility;
} Glicko2Player;

typedef struct Glicko2Team {
    uint32_t rank;
    Glicko2Player* players;
    uint32_t player_count;
} Glicko2Team;

typedef struct BayesianPlayer {
    double mu;
    double sigma; /* standard deviation, not variance */
} BayesianPlayer;

typedef struct BayesianTeam {
    uint32_t rank;
    BayesianPlayer* players;
    uint32_t player_count;
} BayesianTeam;

/* Two teams. Returns 1 and updates both for num_teams 2; 1 without change for
 * 1; 0 without change for 0, 3 or more, or a team without players. */
KRMM_API int KRMM_CALL krmm_rating_elo_update(EloTeam* teams, uint32_t num_teams);
/* Two teams, every player rated against every player of the other team.
 * Returns 1 without change for 0 or 1 team. Returns 0 and changes nothing for
 * 3 or more teams, an empty team, tau <= 0, or input that is not finite or
 * would not converge. */
KRMM_API int KRMM_CALL krmm_rating_glicko2_update(double tau, Glicko2Team* teams,
                                                  uint32_t num_teams);
/* Two or more teams. Returns 0 and changes nothing when a team is empty. */
KRMM_API int KRMM_CALL krmm_rating_bayesian_update(double beta_squared, BayesianTeam* teams,
                                                   uint32_t num_teams);

/* ---- Backend switch --------------------------------------------------- */

/* Every matchmaking call of the library goes through these. With the emulator
 * enabled, requests go to the in-process emulator and its task and response
 * handles are its task id texts (valid until hye_task_free); otherwise every
 * call is passed to the client library unchanged. Task and response calls go
 * to the emulator exactly for the handles it issued and has not freed, whether
 * it is on or off at the time, so switching modes never strands a request in
 * flight nor hands the client library a handle that is not its own. A call
 * that runs out of memory in the emulator writes the emulator's line
 * "[HYE][WRN] HalyardEmulator: out of memory - call abandoned" (not the
 * matchmaker's ERR line) and answers as a call that did nothing: null, 0,
 * or the status code -1. */
KRMM_API void KRMM_CALL hye_emulator_init(int enable);
KRMM_API int KRMM_CALL hye_emulator_is_enabled(void);
KRMM_API const char* KRMM_CALL hye_client_get_identity_id(struct hy_client* client);
KRMM_API void KRMM_CALL hye_task_free(struct hy_task* task);
KRMM_API int KRMM_CALL hye_task_is_pending(struct hy_task* task);
KRMM_API int KRMM_CALL hye_task_is_timed_out(struct hy_task* task);
KRMM_API int KRMM_CALL hye_task_is_okay(struct hy_task* task);
/* Unsupported in both modes: always null. */
KRMM_API void* KRMM_CALL hye_task_get_request(struct hy_task* task);
/* The response is owned by the task's side: free it with hye_response_free. */
KRMM_API struct hy_response* KRMM_CALL hye_task_fetch_response(struct hy_task* task);
KRMM_API const char* KRMM_CALL hye_task_get_error(struct hy_task* task);
KRMM_API void KRMM_CALL hye_response_free(struct hy_response* response);
KRMM_API int32_t KRMM_CALL hye_response_get_status_code(struct hy_response* response);
KRMM_API int KRMM_CALL hye_response_is_okay(struct hy_response* response);
KRMM_API const char* KRMM_CALL hye_response_get_header(struct hy_response* response,
                                                      const char* name);
/* Borrowed: owned by the response (emulator: by its task). */
KRMM_API struct hy_json* KRMM_CALL hye_response_get_json(struct hy_response* response);
/* The JSON values passed to requests are handed over: do not free them. */
KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_ticket(
    struct hy_client* client, const struct hy_uuid* hopper_id, const struct hy_uuid* group_id,
    const struct hy_uuid* second_group_id, uint32_t group_size, struct hy_json* attributes,
    struct hy_json* values);
KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_keepalive(struct hy_client* client,
                                                             const char* ticket);
KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_accept(struct hy_client* client,
                                                          const char* ticket);
KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_cancel(struct hy_client* client,
                                                          const char* ticket, int soft);
KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_start(struct hy_client* client,
                                                         const char* ticket,
                                                         struct hy_json* join_info);
KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_create_proof(struct hy_client* client,
                                                                const char* ticket);
KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_check_proof(struct hy_client* client,
                                                               const char* proof);
KRMM_API struct hy_task* KRMM_CALL hye_r_matchmaking_create_manual_proof(struct hy_client* client,
                                                                       const char* argument);

#ifdef __cplusplus
}
#endif

#endif /* KR_MATCHMAKING_SYSTEM_H */
