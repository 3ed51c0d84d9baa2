/*
 * halyard - a loopback backend client library.
 *
 * This library provides the backend client interface that libKRMatchmakingSystem
 * imports (the hy_ functions), served by a scriptable in-process loopback
 * backend instead of a network service. Game developers can link it to test a
 * matchmaking integration end to end without a server: script the answers a
 * request kind should get, drive the game loop, then read back the journal of
 * requests the library made and check that no task, response or JSON value was
 * left alive.
 *
 * The client interface has the semantics callers rely on:
 *   - JSON values are nodes. A value attached to an object (hy_json_set_key) or
 *     appended to an array (hy_json_append_value) keeps its handle and is from
 *     then on owned by its parent. hy_json_get_item and hy_json_get_value return
 *     borrowed handles. Absent members give null; integer and number reads of
 *     absent or mistyped members give 0; wrong types never crash (the size of a
 *     non-array is 0, the string of a non-string is null). A value that has a
 *     parent must not be attached to a second one or freed by itself: clone
 *     it first.
 *   - Texts returned by hy_json_serialize and hy_uuid_to_string are freed with
 *     hy_free.
 *   - Requests return a task, polled with hy_task_is_pending until it is no
 *     longer pending; hy_task_fetch_response then gives a response that the
 *     caller frees with hy_response_free, and the task itself is freed with
 *     hy_task_free. JSON values and options handed to a request belong to the
 *     request from then on: the caller must not free them.
 *   - Message and log functions registered on a client are called
 *     synchronously, on the thread that delivers, newest registration first.
 *     Here that is the caller of hyl_push_message, hyl_push_json or
 *     hyl_push_log, and also of a request or a hy_task_is_pending call: a
 *     request logs an answer given by a default and an answer whose recorded
 *     request differs, and either call first delivers the scenario pushes
 *     that are due. On a networked client it is the caller of
 *     hyn_client_pump, only.
 *
 * The same functions also serve a networked client of the matchmaking
 * service (hyn_client_connect, below).
 *
 * The loopback control interface (hy_client_create, hy_client_free and the
 * hyl_ functions) is documented at its declarations below; halyard/README.md
 * covers scenario files, record and replay. A typical test (tests/halyard
 * compiles and runs this very sequence):
 *
 *     hy_client* client = hy_client_create(NULL);
 *     hy_json* status = hyl_status_json(MATCHABLE_ID, HOPPER_ID, 1, "matching");
 *     hyl_script_json(client, HYL_KEEPALIVE, 200, status, 2);  // takes status
 *     hy_task* task = hy_r_matchmaking_keepalive(client, MATCHABLE_ID);
 *     while (hy_task_is_pending(task)) {}  // pending twice, then finished
 *     hy_response* response = hy_task_fetch_response(task);
 *     assert(strcmp(hy_json_get_string_item(hy_response_get_json(response), "state"),
 *                   "matching") == 0);
 *     hy_response_free(response);
 *     hy_task_free(task);
 *     assert(hyl_journal_count_kind(client, HYL_KEEPALIVE) == 1);
 *     hy_client_free(client);
 *     assert(hyl_live_tasks() == 0 && hyl_live_responses() == 0 && hyl_live_json() == 0);
 *
 * In a game's test the matchmaker makes the requests: script the answers,
 * call krmm_process, then read the journal.
 *
 * Nothing here is thread-safe: use one thread, as the matchmaker does. No
 * function lets a C++ exception out: running out of memory, or an exception
 * thrown by a registered message or log function, ends the call with its
 * failure value (-1 or null; a hy_task_is_pending poll still answers for its
 * task) and the reason in hyl_last_error.
 */
#ifndef HALYARD_H
#define HALYARD_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(HY_BUILDING_LIBRARY)
#define HY_API __declspec(dllexport)
#else
#define HY_API __declspec(dllimport)
#endif
#define HY_CALL __cdecl
#else
#if defined(HY_BUILDING_LIBRARY)
#define HY_API __attribute__((visibility("default")))
#else
#define HY_API
#endif
#define HY_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct hy_client hy_client;
typedef struct hy_task hy_task;
typedef struct hy_response hy_response;
typedef struct hy_json hy_json;
typedef struct hy_options hy_options;

/* A 128-bit identifier; its text form is 36 lower-case characters, 8-4-4-4-12. */
typedef struct hy_uuid {
    uint8_t bytes[16];
} hy_uuid;

/* Log levels of the client library's log entries. */
enum { HY_LOG_DEBUG = 0, HY_LOG_NOTICE = 10, HY_LOG_WARNING = 50, HY_LOG_ERROR = 100 };

/* (level, first text, second text, reserved (always null), user data). */
typedef void(HY_CALL* hy_log_func)(int32_t level, const char* first, const char* second,
                                   void* reserved, void* user_data);
/* (client, first text, message type, JSON value or null, user data). The JSON
 * value is owned by the library and valid during the call only. */
typedef void(HY_CALL* hy_msg_func)(hy_client* client, const char* first, const char* type,
                                   hy_json* json, void* user_data);

/* ==== Client interface ================================================ */

/* ---- JSON reading ---- */
/* Parses length bytes of text (no terminating NUL needed); any JSON value is
 * accepted, scalars included. Null if the bytes are not exactly one JSON
 * value. Free with hy_json_free. */
HY_API hy_json* HY_CALL hy_json_parse(const char* text, size_t length);
/* Frees a value that has no parent; null is ignored. */
HY_API void HY_CALL hy_json_free(hy_json* value);
/* Compact text of the value (flags: 0); null for a null value. Free with hy_free. */
HY_API char* HY_CALL hy_json_serialize(const hy_json* value, uint32_t flags);
HY_API hy_json* HY_CALL hy_json_get_item(const hy_json* object, const char* key);
/* Borrowed text, owned by the value; null if absent or not a string. */
HY_API const char* HY_CALL hy_json_get_string_item(const hy_json* object, const char* key);
/* 0 if absent or not an integer. Integers are truncated to 32 bits. */
HY_API int32_t HY_CALL hy_json_get_integer_item(const hy_json* object, const char* key);
/* The number (integer or real); 0.0 if absent or not a number. */
HY_API double HY_CALL hy_json_get_double_item(const hy_json* object, const char* key);
/* Seconds since 1970-01-01 UTC: an integer member as it is, or a string
 * "YYYY-MM-DDTHH:MM:SSZ"; 0 if absent or unreadable. */
HY_API int64_t HY_CALL hy_json_get_datetime_item(const hy_json* object, const char* key);
/* Number of elements of an array; 0 for anything else. */
HY_API int32_t HY_CALL hy_json_get_size(const hy_json* array);
/* Borrowed element at index (from 0); null when out of range or not an array. */
HY_API hy_json* HY_CALL hy_json_get_value(const hy_json* array, int32_t index);
HY_API const char* HY_CALL hy_json_get_string(const hy_json* value);
HY_API double HY_CALL hy_json_get_double(const hy_json* value);
/* Non-zero only for JSON true. */
HY_API int HY_CALL hy_json_is_true(const hy_json* value);

/* ---- JSON building ---- */
HY_API hy_json* HY_CALL hy_json_new_object(void);
HY_API hy_json* HY_CALL hy_json_new_array(void);
/* Attaches value under key, replacing (and freeing) any earlier member; the
 * object owns it from then on (also on failure). Returns 0 on success, -1 on
 * failure. Attaching a value to itself fails and leaves it with the caller. */
HY_API int HY_CALL hy_json_set_key(hy_json* object, const char* key, hy_json* value);
/* -1 when text is null or not UTF-8. */
HY_API int HY_CALL hy_json_set_string_key(hy_json* object, const char* key, const char* text);
HY_API int HY_CALL hy_json_set_integer_key(hy_json* object, const char* key, int64_t number);
/* Appends value; the array owns it from then on (also on failure). */
HY_API int HY_CALL hy_json_append_value(hy_json* array, hy_json* value);
HY_API int HY_CALL hy_json_append_string_value(hy_json* array, const char* text);
/* Deep copy without a parent; free with hy_json_free. */
HY_API hy_json* HY_CALL hy_json_clone(const hy_json* value);

/* ---- Memory and UUIDs ---- */
/* Frees a text returned by this library; null is ignored. */
HY_API void HY_CALL hy_free(void* text);
/* Reads a 36-character UUID text; returns 0 on success, -1 (and a zero UUID)
 * otherwise. */
HY_API int HY_CALL hy_uuid_set_from_string(hy_uuid* out, const char* text);
/* Free with hy_free. */
HY_API char* HY_CALL hy_uuid_to_string(const hy_uuid* uuid);

/* ---- Tasks ---- */
/* Each call is one poll: non-zero while the task has not finished. A poll
 * first delivers the client's scenario pushes that are due. */
HY_API int HY_CALL hy_task_is_pending(hy_task* task);
/* Non-zero once a networked request finished without an answer from its
 * service (it timed out, or no address could be reached); its response is
 * then 504 without a body. Always 0 on the loopback. */
HY_API int HY_CALL hy_task_is_timed_out(hy_task* task);
/* Non-zero once the task has finished and holds a response. */
HY_API int HY_CALL hy_task_is_okay(hy_task* task);
/* A new response for a finished task (null while pending); free with
 * hy_response_free. */
HY_API hy_response* HY_CALL hy_task_fetch_response(hy_task* task);
/* Borrowed text of why a networked request got no answer, or null (also
 * always on the loopback). Valid until the task is freed. */
HY_API const char* HY_CALL hy_task_get_error(hy_task* task);
HY_API void HY_CALL hy_task_free(hy_task* task);

/* ---- Responses ---- */
HY_API int32_t HY_CALL hy_response_get_status_code(hy_response* response);
/* Non-zero for status codes 200 to 399. */
HY_API int HY_CALL hy_response_is_okay(hy_response* response);
/* The body, owned by the response; null when there is none. */
HY_API hy_json* HY_CALL hy_response_get_json(hy_response* response);
/* Borrowed header text or null ("content-type" is "application/json" when
 * the response has a body). */
HY_API const char* HY_CALL hy_response_get_header(hy_response* response, const char* name);
HY_API void HY_CALL hy_response_free(hy_response* response);

/* ---- Requests (each returns a task, or null for a null client) ---- */
HY_API hy_task* HY_CALL hy_r_matchmaking_ticket(hy_client* client, const hy_uuid* hopper_id,
                                                const hy_uuid* group_id,
                                                const hy_uuid* second_group_id, uint32_t group_size,
                                                void* reserved, hy_json* attributes,
                                                hy_json* values);
HY_API hy_task* HY_CALL hy_r_matchmaking_keepalive(hy_client* client, const char* ticket);
HY_API hy_task* HY_CALL hy_r_matchmaking_accept(hy_client* client, const char* ticket);
HY_API hy_task* HY_CALL hy_r_matchmaking_cancel(hy_client* client, const char* ticket, int soft);
HY_API hy_task* HY_CALL hy_r_matchmaking_start(hy_client* client, const char* ticket,
                                               hy_json* join_info);
HY_API hy_task* HY_CALL hy_r_matchmaking_create_proof(hy_client* client, const char* ticket);
HY_API hy_task* HY_CALL hy_r_matchmaking_check_proof(hy_client* client, const char* proof);
HY_API hy_task* HY_CALL hy_r_matchmaking_create_manual_proof(hy_client* client,
                                                             const char* argument);
HY_API hy_task* HY_CALL hy_r_get_object(hy_client* client, const char* collection,
                                        const hy_uuid* object_id, hy_options* options);
/* Request options from a JSON object (copied; the caller still frees the
 * value). Null if the value is not an object. Owned by the request it is
 * given to. */
HY_API hy_options* HY_CALL hy_options_from_json(const hy_json* value);
HY_API hy_task* HY_CALL hy_r_mark_identity_active(hy_client* client, int32_t argument);

/* ---- Client ---- */
/* Owned by the client; valid until hy_client_free. */
HY_API const char* HY_CALL hy_client_get_identity_id(hy_client* client);
/* Returns 0 on success. Registering the same function twice is allowed. */
HY_API int HY_CALL hy_client_add_log_func(hy_client* client, hy_log_func func, void* user_data);
HY_API int HY_CALL hy_client_add_msg_func(hy_client* client, hy_msg_func func, void* user_data);
/* Removes every registration of func. */
HY_API void HY_CALL hy_client_remove_log_func(hy_client* client, hy_log_func func);
HY_API void HY_CALL hy_client_remove_msg_func(hy_client* client, hy_msg_func func);

/* ==== Networked client ================================================= */

/* A client of a running matchmaking service (halyard-server) over HTTP,
 * served by the same hy_ functions as a loopback client.
 *
 * Nothing waits. Requests run on the client's own libcurl multi handle,
 * moved along by hy_task_is_pending and hyn_client_pump; a frame with
 * requests in flight to a service that does not answer costs microseconds.
 * Connections are reused; https works. A request that gets no answer within
 * its timeout (10 s unless set), or that reaches no address, finishes with
 * status 504, no body, hy_task_is_timed_out 1 and the reason in
 * hy_task_get_error: 504 is what the matchmaker recovers from.
 *
 * base_url may list several addresses of one service, comma-separated
 * ("http://10.0.0.5:8750,http://10.0.0.6:8750"). A request that cannot
 * connect to one, or whose connection drops before an answer, goes on to
 * the next with the same Idempotency-Key, so the service acts on it once (a
 * retried ticket request never makes two tickets). Requests start at the
 * address that answered last.
 *
 * The client keeps the service's event stream open; after a drop it opens
 * it again after a growing wait (a quarter of a second, doubling, at most
 * 8 s), asking to resume after the last event it saw. Pushed messages and
 * the client's log lines (first text "halyard": a stream lost or refused, a
 * request passed to another address or left without an answer, a 401) are
 * delivered to the registered functions only inside hyn_client_pump, on the
 * game's thread. A "matchmaking_update" push carries the status JSON; its
 * first text is the event's id.
 *
 * The journal records a networked session like a loopback one (an answer is
 * written in when it arrives; a request still in flight reads status 0), so
 * hyl_journal_write turns it into a scenario that replays on the loopback;
 * there a request written without an answer stays pending for the polls it
 * was recorded pending, then ends as 504 without a body.
 * The scripting functions (hyl_script, hyl_fault, hyl_set_default, ...)
 * refuse a networked client: its answers come from its service.
 *
 * The matchmaker waits for its requests in flight when it is cleaned up,
 * freed or restarted (a cancelled request still ends only when it is no
 * longer pending): against a service that does not answer, that is up to the
 * request timeout. Let the matchmaker go idle before freeing it, or set a
 * shorter timeout (hyn_client_set_timeout).
 *
 * halyard is built with the network transport where libcurl is found; a
 * build without it (the Windows build today) still has these functions:
 * hyn_client_connect then refuses, with the reason in hyl_last_error. */

/* Connects to the service at base_url as the player the token names. The
 * token is the service's text "<identity>.<expiry>.<signature>" (a lower-case
 * UUID, Unix seconds, 64 hex digits); the identity is read from it, so
 * hy_client_get_identity_id answers at once. Only the service checks the
 * signature and the expiry: an expired token is taken, and requests answer
 * 401 until it is renewed. Returns null, with the reason in hyl_last_error,
 * for a token that cannot be read, a base URL that is not http:// or
 * https://, or a build without the network transport. The event stream
 * starts opening at once; free the client with hy_client_free, which ends
 * its transfers (tasks still in flight finish as 504). */
HY_API hy_client* HY_CALL hyn_client_connect(const char* base_url, const char* token);
/* Call once per frame, before krmm_process: moves the transfers along and
 * delivers what arrived since the last call, oldest first: pushed messages
 * to the message functions, log lines to the log functions. Returns the
 * number of messages delivered, or -1 for a null client or when a function
 * threw (the others still got their deliveries; hyl_last_error says what
 * was thrown). At most 4096 messages and log lines wait for a pump: past
 * that the oldest are dropped, and the next pump first logs how many
 * (HY_LOG_WARNING). On a loopback client it delivers the scenario pushes
 * that are due (as a request or a poll does), so a replay that pumps as the
 * recorded game did gets each push at the same point of its loop. */
HY_API int HY_CALL hyn_client_pump(hy_client* client);
/* Later requests, and the event stream when it next opens, carry this
 * token: renew it before the old one expires. A stream refused for its
 * token opens again at once. Returns 0, or -1 (see hyl_last_error) for a
 * loopback client, a token that cannot be read or one of another identity. */
HY_API int HY_CALL hyn_client_set_token(hy_client* client, const char* token);
/* The time a request made from now on may take, over every address it
 * tries, in milliseconds (default 10000). The event stream, when it next
 * opens, gets as long to connect and answer before it is given up and
 * opened again. Returns 0, or -1 for a loopback client or 0 milliseconds. */
HY_API int HY_CALL hyn_client_set_timeout(hy_client* client, uint32_t milliseconds);

/* ==== Loopback control ================================================== */

/* Creates a client whose identity id is the given 36-character text (taken
 * as it is), or a freshly drawn random UUID text (lower case) when
 * identity_id is null. Null (see hyl_last_error) for an identity id of
 * another length. Each client
 * has its own scripts, default answers, journal and registered functions. */
HY_API hy_client* HY_CALL hy_client_create(const char* identity_id);
/* Frees the client, its scripts and journal; a networked client (from
 * hyn_client_connect) also ends its transfers. Tasks issued on it stay
 * valid until they are freed. */
HY_API void HY_CALL hy_client_free(hy_client* client);

/* Request kinds, for scripts and the journal. */
typedef enum hyl_kind {
    HYL_TICKET = 0,
    HYL_KEEPALIVE,
    HYL_ACCEPT,
    HYL_CANCEL,
    HYL_START,
    HYL_CREATE_PROOF,
    HYL_CHECK_PROOF,
    HYL_CREATE_MANUAL_PROOF,
    HYL_GET_OBJECT,
    HYL_MARK_IDENTITY_ACTIVE,
    HYL_KIND_COUNT
} hyl_kind;

/* The name of a kind, as scenario files and log lines write it: "ticket",
 * "keepalive", "accept", "cancel", "start", "create_proof", "check_proof",
 * "create_manual_proof", "get_object", "mark_identity_active". A static
 * text; null (see hyl_last_error) for a kind out of range. */
HY_API const char* HY_CALL hyl_kind_name(hyl_kind kind);

/* The reason for the most recent refusal (a -1 or null result) of a hyl_
 * function or hy_client_create on the calling thread: the function's name, then the reason, e.g.
 * for the body "{not json": "hyl_script: body: line 1, column 4 (byte 4):
 * string or '}' expected near 'not'". "" until the first refusal; a later
 * success does not clear it. Storage of the thread, valid until its next
 * refusal. */
HY_API const char* HY_CALL hyl_last_error(void);

/* ---- Scripting ---- */

/* Queues one answer for the next request of that kind on the client: its
 * status code, its JSON body text (null: no body) and the number of
 * hy_task_is_pending polls that answer "pending" before the task finishes
 * (0: the first poll already finds it finished). Answers are used in the
 * order queued; a request takes its answer when it is made, so scripting
 * later does not change a task already issued. Every hy_task_fetch_response
 * parses the body anew into a response of its own. Returns 0, or -1 (and
 * queues nothing; see hyl_last_error) for a null client, a body that is not
 * JSON or a kind out of range. */
HY_API int HY_CALL hyl_script(hy_client* client, hyl_kind kind, int32_t status,
                              const char* body_json, uint32_t pending_polls);
/* hyl_script with a JSON value as the body (null: no body), e.g. one built
 * by hyl_status_json. Takes the value in every case, refusal included. */
HY_API int HY_CALL hyl_script_json(hy_client* client, hyl_kind kind, int32_t status, hy_json* body,
                                   uint32_t pending_polls);
/* Queues the same answer count times (0 queues nothing). */
HY_API int HY_CALL hyl_script_repeat(hy_client* client, hyl_kind kind, int32_t status,
                                     const char* body_json, uint32_t pending_polls, uint32_t count);
/* The next count requests of the kind fail with status (no body, never
 * pending), ahead of any queued answer, which waits for the requests after
 * them. A later call replaces the remaining faults of the kind; count 0
 * cancels them. Journalled with the source HYL_FAULT. */
HY_API int HY_CALL hyl_fault(hy_client* client, hyl_kind kind, int32_t status, uint32_t count);
/* Sets the answer given, as often as needed, when the kind has no fault and
 * no queued answer; a later call replaces it. Until it is set, the built-in
 * default answers: for HYL_TICKET, status 200 with {"ticket":"<fresh UUID>"}
 * (a new UUID each time); for every other kind, status 404 without a body;
 * never pending. Each request answered by a default writes a log entry to
 * the client's log functions (first text "halyard"): HY_LOG_WARNING for the
 * built-in default ("unscripted keepalive request: built-in default answer
 * 404 without a body"), HY_LOG_NOTICE for one set here. Returns 0 or -1 as
 * hyl_script. */
HY_API int HY_CALL hyl_set_default(hy_client* client, hyl_kind kind, int32_t status,
                                   const char* body_json, uint32_t pending_polls);
/* Number of answers still queued for the kind (faults not included). */
HY_API uint32_t HY_CALL hyl_scripted_count(hy_client* client, hyl_kind kind);

/* ---- Body builders ----
 * New JSON values in the backend's formats, so that no test writes them by
 * hand. Each returns a value owned by the caller (counted by hyl_live_json):
 * give it to hyl_script_json or hyl_push_json, attach it with hy_json_set_key,
 * or free it with hy_json_free. Change or add members with the hy_json_
 * building functions. Each refuses (null or -1, see hyl_last_error) an id
 * that is not 36 characters long, because the matchmaker would reject the
 * body, and a text that is not UTF-8, which JSON cannot hold. */

/* A matchable status: {"seq":seq,"matchable_id":...,"hopper_id":...,
 * "state":state,"estimated_hopper_size":1,"group_size":1}. state is the
 * backend's text: "initial_waiting", "matching", "matched", "accepted",
 * "match_started", "expired" or "cancelled" (anything else is refused). The
 * matchmaker takes the matchable id from the first status after its ticket
 * and afterwards only accepts a higher seq for it. */
HY_API hy_json* HY_CALL hyl_status_json(const char* matchable_id, const char* hopper_id,
                                        uint32_t seq, const char* state);
/* A match for the "match" member of a status: {"id":match_id,"accepted":[],
 * "teams":[]}; add "params" and "join_info" with hy_json_set_key. */
HY_API hy_json* HY_CALL hyl_match_json(const char* match_id);
/* Appends a team of count users {"identity_id":id,"attributes":{},
 * "values":{}} to a match, ids in the given order. The matchmaker reads
 * teams and members in reverse: its team 0 is the last team added and the
 * match leader is the last member of that team. Returns 0 or -1. */
HY_API int HY_CALL hyl_match_add_team(hy_json* match, const char* const* identity_ids,
                                      uint32_t count);
/* Appends an identity id to the match's "accepted" list. Returns 0 or -1. */
HY_API int HY_CALL hyl_match_add_accepted(hy_json* match, const char* identity_id);
/* A hopper body: {"_id":hopper_id,"name":name,"is_enabled":true,
 * "allow_groups":false,"expansion_time":0,"expansion_wait":0,
 * "maximum_wait_time":0,"players":players,"teams":[fractions...]}. The
 * matchmaker needs players >= 1 and at least one team fraction. */
HY_API hy_json* HY_CALL hyl_hopper_json(const char* hopper_id, const char* name, int32_t players,
                                        const double* team_fractions, uint32_t team_count);

/* ---- Scenario files ----
 * A scenario is one JSON object (format in halyard/README.md):
 *   {"identity_id": "...",
 *    "answers":  {"keepalive": [{"status":200, "body":{...}, "pending":2, "repeat":3,
 *                                "order":4, "request":{"ticket":"..."}}, ...], ...},
 *    "defaults": {"accept": {"status":503}},
 *    "pushes":   [{"after_requests":2, "after_polls":5, "type":"matchmaking_update",
 *                  "first":"", "json":{...}}]}
 * Loading adds its answers behind those already queued, replaces the
 * defaults it names, schedules its pushes and, with "identity_id", gives the
 * client that identity (load before a matchmaker reads it). A scenario is
 * refused as a whole, changing nothing (-1), when it is not JSON, larger
 * than 64 MiB, names a member twice or a member it does not know (also
 * inside "request", whose members are the arguments of its kind, typed as
 * in hyl_request), or has a "status" outside 100 to 599; hyl_last_error
 * names the file, the position (line and column for bad JSON, the member
 * path otherwise, e.g. "answers.keepalive[2].request.ticket") and the
 * reason.
 *
 * A push is delivered at the start of the first request or poll made on the
 * client once at least after_requests requests and after_polls polls
 * (hy_task_is_pending calls on its tasks) have been made, before that call is
 * counted or answered.
 *
 * Replay: an answer is answered all the same, but its request is a
 * mismatch (logged at HY_LOG_ERROR on the client and kept for
 * hyl_replay_mismatch) when the answer has a "request" that differs from the
 * request's arguments, or an "order" while an answer of a lower "order"
 * (of any kind) is still queued: requests made in another order than
 * recorded. Written journals give every answer both. */
HY_API int HY_CALL hyl_load_scenario(hy_client* client, const char* path);
/* The same from text; errors name the file "<text>". */
HY_API int HY_CALL hyl_load_scenario_text(hy_client* client, const char* text);
/* Pushes scheduled but not yet delivered. */
HY_API uint32_t HY_CALL hyl_pending_pushes(hy_client* client);
/* Strict replay (strict non-zero; off at first): the scenario is then the
 * whole session, so a request answered by the built-in default (nothing
 * was scripted) and a push given with hyl_push_message or hyl_push_json
 * (the scenario schedules the recorded ones) are mismatches too. 0, or -1
 * for a null client. */
HY_API int HY_CALL hyl_set_strict(hy_client* client, int strict);
/* Mismatches found so far on the client (0 for a null client). */
HY_API uint32_t HY_CALL hyl_replay_mismatches(hy_client* client);
/* The text of a mismatch, oldest first, as it was logged, e.g. "start
 * request {...} differs from the recorded {...}"; owned by the client. Null
 * (see hyl_last_error) when index is out of range. */
HY_API const char* HY_CALL hyl_replay_mismatch(hy_client* client, uint32_t index);

/* ---- Journal ---- */

/* Where an answer came from. */
typedef enum hyl_source {
    HYL_SCRIPTED = 0,     /* a queued answer (hyl_script, scenario "answers") */
    HYL_DEFAULT,          /* the kind's default set by hyl_set_default or a scenario */
    HYL_BUILT_IN_DEFAULT, /* nothing was scripted */
    HYL_FAULT             /* hyl_fault */
} hyl_source;

/* One journal entry per request made on the client, oldest first: the
 * request and the answer it got. Texts are owned by the journal ("" when the
 * argument was absent), valid until hyl_journal_clear or hy_client_free.
 * Every text field is non-null: fields a kind does not use read "" and
 * numbers 0. JSON arguments are recorded as their compact serialized text,
 * members in the order they were set. A request on a null client is not
 * journalled (it still frees its JSON). The same structure is what
 * hyl_recorder_add reads; there a null text reads as "". */
typedef struct hyl_request {
    hyl_kind kind;
    const char* ticket;          /* keep-alive, accept, cancel, start, create proof */
    int soft;                    /* cancel */
    const char* hopper_id;       /* ticket: UUID text */
    const char* group_id;        /* ticket: UUID text of id A, "" for none */
    const char* second_group_id; /* ticket: UUID text of id B, "" for none */
    uint32_t group_size;         /* ticket */
    int has_reserved;            /* ticket: the reserved argument was not null */
    const char* attributes_json; /* ticket: "" for none */
    const char* values_json;     /* ticket: "" for none */
    const char* join_info_json;  /* start: "" for none */
    const char* text;            /* check proof: proof; manual proof: argument */
    const char* collection;      /* get object */
    const char* object_id;       /* get object: UUID text */
    const char* options_json;    /* get object: "" for none */
    int32_t argument;            /* mark identity active */
    /* The answer given. */
    int32_t status;
    const char* body_json; /* compact JSON text, "" for no body */
    uint32_t pending_polls;
    hyl_source source;
} hyl_request;

/* One pushed message delivered to the client's message functions (by
 * hyl_push_message, hyl_push_json or a scenario), with the number of
 * requests and polls made on the client before it. */
typedef struct hyl_push {
    const char* first;
    const char* type;
    const char* json; /* compact JSON text, "" for none */
    uint32_t after_requests;
    uint32_t after_polls;
} hyl_push;

HY_API uint32_t HY_CALL hyl_journal_count(hy_client* client);
/* Null (see hyl_last_error) when index is out of range. */
HY_API const hyl_request* HY_CALL hyl_journal_get(hy_client* client, uint32_t index);
/* Number of journal entries of one kind. */
HY_API uint32_t HY_CALL hyl_journal_count_kind(hy_client* client, hyl_kind kind);
HY_API uint32_t HY_CALL hyl_journal_push_count(hy_client* client);
/* Null (see hyl_last_error) when index is out of range; owned by the
 * journal like its requests. */
HY_API const hyl_push* HY_CALL hyl_journal_push_get(hy_client* client, uint32_t index);
/* Forgets requests and pushes (the request and poll counts of push
 * triggers keep running). */
HY_API void HY_CALL hyl_journal_clear(hy_client* client);
/* The journal as a scenario (the client's identity, every answer given, in
 * order, with the request it answered, and every push delivered): loaded
 * into a fresh client, it replays the session. Free with hy_free; null for
 * a null client. */
HY_API char* HY_CALL hyl_journal_scenario(hy_client* client);
/* Writes hyl_journal_scenario to a file; 0, or -1 (see hyl_last_error). */
HY_API int HY_CALL hyl_journal_write(hy_client* client, const char* path);

/* ---- Recorder ----
 * A journal filled by the caller, for sessions served by something other
 * than the loopback (such as the in-process emulator), written as a
 * scenario that the loopback replays. */
typedef struct hyl_recorder hyl_recorder;
/* identity_id: the recorded player's identity (null: none is written).
 * Free with hyl_recorder_free. */
HY_API hyl_recorder* HY_CALL hyl_recorder_new(const char* identity_id);
HY_API void HY_CALL hyl_recorder_free(hyl_recorder* recorder);
/* Adds one exchange: the request and its answer (status, body_json,
 * pending_polls, source); texts are copied. -1 for a kind out of range or a
 * body that is not JSON. */
HY_API int HY_CALL hyl_recorder_add(hyl_recorder* recorder, const hyl_request* exchange);
/* Adds one delivered push; texts are copied. -1 for a type that is null or
 * JSON that is not JSON. */
HY_API int HY_CALL hyl_recorder_add_push(hyl_recorder* recorder, const hyl_push* push);
/* The scenario text; free with hy_free. */
HY_API char* HY_CALL hyl_recorder_scenario(const hyl_recorder* recorder);
HY_API int HY_CALL hyl_recorder_write(const hyl_recorder* recorder, const char* path);

/* ---- Pushes ---- */

/* Delivers a pushed message to every message function registered on the
 * client, newest first: (client, first, type, JSON value of json_text or null,
 * user data), and journals it. A function removed by an earlier one during
 * the same delivery is not called; a function must not free the client it is
 * called for. Returns 0, or -1 (and delivers nothing) for a null client or
 * when json_text is not JSON. */
HY_API int HY_CALL hyl_push_message(hy_client* client, const char* first, const char* type,
                                    const char* json_text);
/* hyl_push_message with a JSON value (taken in every case, null: none). */
HY_API int HY_CALL hyl_push_json(hy_client* client, const char* first, const char* type,
                                 hy_json* json);
/* Delivers a log entry to every log function registered on the client,
 * newest first, as (level, first, second, null, user data). */
HY_API void HY_CALL hyl_push_log(hy_client* client, int32_t level, const char* first,
                                 const char* second);

/* ---- Leak counters ----
 * Live object counts of the whole process, to prove that nothing leaks:
 * tasks not yet freed, responses not yet freed, JSON values and texts not
 * yet given back, and options not yet consumed by a request.
 *
 * The JSON count is of the values this library handed out and the caller
 * still owns (hy_json_parse, hy_json_new_object/array, hy_json_clone, the
 * body builders), plus response bodies while their response lives, plus
 * texts not yet released with hy_free (hy_json_serialize,
 * hy_uuid_to_string, hyl_journal_scenario). A value stops counting when it
 * is freed or handed over (attached to a parent, given to a request, a
 * script or a push). Only this library's values count: the JSON runtime's
 * allocator is left as the process set it, and JSON values the game makes
 * with the runtime directly are neither counted nor touched. Compare the
 * counts against a baseline taken before the code under test. */
HY_API uint32_t HY_CALL hyl_live_tasks(void);
HY_API uint32_t HY_CALL hyl_live_responses(void);
HY_API uint32_t HY_CALL hyl_live_json(void);
HY_API uint32_t HY_CALL hyl_live_options(void);

#ifdef __cplusplus
}
#endif

#endif /* HALYARD_H */
