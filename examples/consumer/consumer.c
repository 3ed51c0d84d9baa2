/*
 * A game's check that it built and linked libKRMatchmakingSystem correctly:
 * two players on the in-process backend emulator find each other in its
 * two-player hopper, accept, the leader starts the match, and each reads the
 * match through the accessors. Exits 0 when the whole match went as the
 * header promises, 1 otherwise (and says what differed).
 */
#if !defined(_WIN32)
#define _POSIX_C_SOURCE 200112L /* nanosleep */
#endif
#include <stdio.h>
#include <string.h>
#include <time.h>
#if defined(_WIN32)
#include <windows.h>
#endif

#include "KRMatchmakingSystem.h"
#include "halyard.h"

#if KRMM_VERSION < KRMM_MAKE_VERSION(1, 0, 0)
#error "this game needs libKRMatchmakingSystem 1.0 or newer"
#endif

/* The emulator's hopper whose matches take two players. */
static const char* const kDuoHopperId = "0e6976d1-1655-5da5-8354-3d3a38537aed";
static const char* const kJoinInfo = "{\"address\":\"192.0.2.10\",\"port\":7777}";

typedef struct Player {
    const char* label;
    hy_client* client;
    krmm_matchmaker* matchmaker;
    int32_t state;
    int was_leader;
    int reached_started;
    int back_to_idle;
    char identity[40];
    /* The match as read while the state is MMS_MATCH_STARTED. */
    char match_id[40];
    char team0_member0[40];
    char team1_member0[40];
    int32_t users, teams, team0_size, team2_size;
    int join_info_is_object;
    int user1_is_object, user3_is_empty;
    int bad_index_text_given;
} Player;

static int failures = 0;

static void expect(int condition, const char* player, const char* what) {
    if (!condition) {
        fprintf(stderr, "FAIL %s: %s\n", player, what);
        ++failures;
    }
}

static void copy_text(char* out, size_t size, const char* text) {
    strncpy(out, text != NULL ? text : "", size - 1);
    out[size - 1] = '\0';
}

static void on_log(krmm_matchmaker* matchmaker, int32_t log_type, const char* line,
                   void* user_data) {
    (void)matchmaker;
    (void)log_type;
    (void)user_data;
    fprintf(stderr, "  %s\n", line);
}

/* Returned texts live in the matchmaker until the next status update:
 * copy what the game keeps. */
static void read_match(Player* player) {
    krmm_matchmaker* m = player->matchmaker;
    const char* user1 = krmm_get_match_info_user_json_str(m, 1);
    copy_text(player->match_id, sizeof player->match_id, krmm_get_match_info_match_id(m));
    copy_text(player->team0_member0, sizeof player->team0_member0,
              krmm_get_match_info_team_member_id(m, 0, 0));
    copy_text(player->team1_member0, sizeof player->team1_member0,
              krmm_get_match_info_team_member_id(m, 1, 0));
    player->users = krmm_get_match_info_num_users(m);
    player->teams = krmm_get_match_info_num_teams(m);
    player->team0_size = krmm_get_match_info_num_team_members(m, 0);
    player->team2_size = krmm_get_match_info_num_team_members(m, 2);
    player->join_info_is_object = krmm_get_match_info_join_json_str(m)[0] == '{';
    player->user1_is_object = user1[0] == '{';
    player->user3_is_empty = krmm_get_match_info_user_json_str(m, 3)[0] == '\0';
    player->bad_index_text_given =
        strcmp(krmm_get_match_info_team_member_id(m, 0, 1),
               "<GetMatchInfoTeamMemberId: invalid team or member index>") == 0;
}

static void on_message(krmm_matchmaker* matchmaker, const char* name, int32_t value,
                       const char* text, void* user_data) {
    Player* player = (Player*)user_data;
    (void)matchmaker;
    if (strcmp(name, "state") == 0) {
        printf("%s: %s\n", player->label, krmm_matchmaking_state_to_str(value));
        if (value == MMS_ACCEPTED_LEADER) {
            player->was_leader = 1;
        }
        if (value == MMS_MATCH_STARTED) {
            player->reached_started = 1;
            read_match(player);
        }
        if (value == MMS_IDLE && player->reached_started) {
            player->back_to_idle = 1;
        }
        player->state = value;
    } else if (strcmp(name, "error") == 0) {
        fprintf(stderr, "%s: error %s (%s)\n", player->label, krmm_error_code_to_str(value),
                text != NULL ? text : "-");
        ++failures;
    }
}

static int create_player(Player* player, const char* label) {
    memset(player, 0, sizeof *player);
    player->label = label;
    player->state = MMS_IDLE;
    player->client = hy_client_create(NULL);
    player->matchmaker =
        krmm_create_matchmaking(player->client, label, MMF_LOG_WARNING | MMF_LOG_ERROR);
    if (player->client == NULL || player->matchmaker == NULL) {
        return 0;
    }
    krmm_register_log_callback(player->matchmaker, on_log, player);
    krmm_register_msg_callback(player->matchmaker, on_message, player);
    /* The emulator answers at once; frequent keep-alives carry the news
     * between the two players in a fraction of a second. A keep-alive still
     * unanswered after an interval is given up, so the interval stays well
     * above a frame. */
    krmm_set_heartbeat_interval(player->matchmaker, 100);
    return 1;
}

/* The rest of the frame: rendering, here a millisecond's pause. */
static void end_frame(void) {
#if defined(_WIN32)
    Sleep(1);
#else
    struct timespec pause = {0, 1000000};
    nanosleep(&pause, NULL);
#endif
}

/* One frame of one player: the library's pass, then the player's input. */
static void frame(Player* player) {
    krmm_process(player->matchmaker);
    if (player->state == MMS_MATCHED) {
        krmm_accept_match(player->matchmaker);
    } else if (player->state == MMS_ACCEPTED_LEADER) {
        krmm_start_match(player->matchmaker, kJoinInfo);
    }
}

static void check_match(const Player* player, const Player* first, const Player* second) {
    const char* who = player->label;
    expect(player->reached_started, who, "never reached MMS_MATCH_STARTED");
    expect(player->back_to_idle, who, "did not return to MMS_IDLE after the match");
    expect(strlen(player->match_id) == 36, who, "match id is not 36 characters");
    expect(player->users == 2 && player->teams == 2, who, "expected 2 users in 2 teams");
    expect(player->team0_size == 1 && player->team2_size == 0, who,
           "team sizes: 1 member in team 0, 0 for a team that does not exist");
    /* The emulator puts the later-queued player in the first team of its
     * JSON; team 0 is the last non-empty team of the JSON, so it holds the
     * first-queued player, who therefore leads. */
    expect(strcmp(player->team0_member0, first->identity) == 0, who,
           "team 0 should hold the first-queued player");
    expect(strcmp(player->team1_member0, second->identity) == 0, who,
           "team 1 should hold the later-queued player");
    expect(player->was_leader == (player == first), who,
           "the first member of team 0 should lead, and only it");
    expect(player->join_info_is_object, who, "join info is not a JSON object");
    expect(player->user1_is_object, who, "user 1 attributes are not a JSON object");
    expect(player->user3_is_empty, who, "user 3 of 2 should read as \"\"");
    expect(player->bad_index_text_given, who, "no explanatory text for a missing member");
}

int main(void) {
    Player first, second;
    long frames = 0;
    time_t started = time(NULL);

    printf("libKRMatchmakingSystem %s (KRMM_VERSION %ld)\n", KRMM_VERSION_STRING,
           (long)KRMM_VERSION);
    if (!create_player(&first, "first") || !create_player(&second, "second")) {
        fprintf(stderr, "cannot create the players\n");
        return 1;
    }
    /* After both creations: creating a matchmaker switches the emulator off. */
    krmm_set_emulator(first.matchmaker, 1);
    copy_text(first.identity, sizeof first.identity, krmm_client_get_identity_id(first.matchmaker));
    copy_text(second.identity, sizeof second.identity,
              krmm_client_get_identity_id(second.matchmaker));
    expect(strcmp(first.identity, second.identity) != 0, "both", "identities are not distinct");

    /* The first player queues alone, then the second joins the hopper. */
    expect(krmm_start_matchmaking(first.matchmaker, kDuoHopperId, NULL, NULL, 0, NULL, NULL),
           "first", "matchmaking refused");
    while (first.state != MMS_MATCHING && time(NULL) - started < 10) {
        frame(&first);
        end_frame();
    }
    expect(krmm_start_matchmaking(second.matchmaker, kDuoHopperId, NULL, NULL, 0, NULL, NULL),
           "second", "matchmaking refused");
    while (!(first.back_to_idle && second.back_to_idle) && failures == 0 &&
           time(NULL) - started < 30) {
        frame(&first);
        frame(&second);
        end_frame();
        ++frames;
    }

    check_match(&first, &first, &second);
    check_match(&second, &first, &second);
    expect(strcmp(first.match_id, second.match_id) == 0, "both", "different match ids");

    krmm_free_matchmaking(first.matchmaker);
    krmm_free_matchmaking(second.matchmaker);
    hy_client_free(first.client);
    hy_client_free(second.client);
    printf("%s after %ld frames\n", failures == 0 ? "match played" : "match FAILED", frames);
    return failures == 0 ? 0 : 1;
}
