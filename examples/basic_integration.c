/*
 * How a game drives libKRMatchmakingSystem, start to finish, in one file.
 *
 * The game creates a matchmaker for its backend client, registers a log and a
 * message callback, calls krmm_process() once per frame and issues the
 * player's commands. Everything it needs to know arrives as messages: "state"
 * on every state change, "error" when something went wrong.
 *
 * To run offline the example uses the library's in-process backend emulator
 * and its hopper whose matches take a single player, so one player is enough
 * for a whole match. A real game passes its own backend client and hopper id
 * and leaves the emulator off.
 */
#include <stdio.h>
#include <string.h>

#include "KRMatchmakingSystem.h"
#include "halyard.h"

static const char* const kSoloHopperId = "dcb02466-a5de-5d58-8ce3-552e6c7747ae";

/* What the game remembers between frames. */
typedef struct Game {
    int32_t state;
    int match_played;
    int finished; /* back in MMS_IDLE after matchmaking */
} Game;

static void on_log(krmm_matchmaker* matchmaker, int32_t log_type, const char* line,
                   void* user_data) {
    (void)matchmaker;
    (void)log_type;
    (void)user_data;
    printf("  log  %s\n", line);
}

/* Called when the match has started: read it through the accessors while
 * the matchmaker still holds it. */
static void print_match(krmm_matchmaker* matchmaker) {
    int32_t team;
    printf("match %s with %d players in %d teams; join info %s\n",
           krmm_get_match_info_match_id(matchmaker), krmm_get_match_info_num_users(matchmaker),
           krmm_get_match_info_num_teams(matchmaker),
           krmm_get_match_info_join_json_str(matchmaker));
    for (team = 0; team < krmm_get_match_info_num_teams(matchmaker); ++team) {
        int32_t member;
        for (member = 0; member < krmm_get_match_info_num_team_members(matchmaker, team);
             ++member) {
            printf("  team %d: %s\n", team,
                   krmm_get_match_info_team_member_id(matchmaker, team, member));
        }
    }
}

static void on_message(krmm_matchmaker* matchmaker, const char* name, int32_t value,
                       const char* text, void* user_data) {
    Game* game = (Game*)user_data;
    if (strcmp(name, "state") == 0) {
        printf("state -> %s\n", krmm_matchmaking_state_to_str(value));
        if (value == MMS_MATCH_STARTED) {
            game->match_played = 1;
            print_match(matchmaker);
        }
        if (value == MMS_IDLE && game->state != MMS_IDLE) {
            game->finished = 1;
        }
        game->state = value;
    } else if (strcmp(name, "error") == 0) {
        printf("error: %s (%s)\n", krmm_error_code_to_str(value), text != NULL ? text : "-");
    }
}

int main(void) {
    Game game = {MMS_IDLE, 0, 0};
    int frame;
    hy_client* client = hy_client_create(NULL);
    krmm_matchmaker* matchmaker =
        krmm_create_matchmaking(client, "example", MMF_LOG_WARNING | MMF_LOG_ERROR);
    if (matchmaker == NULL) {
        fprintf(stderr, "cannot create the matchmaker\n");
        hy_client_free(client);
        return 1;
    }
    krmm_register_log_callback(matchmaker, on_log, &game);
    krmm_register_msg_callback(matchmaker, on_message, &game);
    /* After creation: creating a matchmaker switches the emulator off. */
    krmm_set_emulator(matchmaker, 1);
    printf("player %s looks for a match\n", krmm_client_get_identity_id(matchmaker));

    if (!krmm_start_matchmaking(matchmaker, kSoloHopperId, NULL, NULL, 0, NULL, NULL)) {
        fprintf(stderr, "matchmaking refused: %s\n",
                krmm_error_code_to_str(krmm_get_error_code(matchmaker)));
    }

    /* The game loop: one krmm_process per frame, then the player's input. */
    for (frame = 0; frame < 1000 && !game.finished; ++frame) {
        krmm_process(matchmaker);
        if (game.state == MMS_MATCHED) {
            /* The player pressed "Accept". */
            krmm_accept_match(matchmaker);
        } else if (game.state == MMS_ACCEPTED_LEADER) {
            /* This client leads: it found a server; tell the others where. */
            krmm_start_match(matchmaker, "{\"address\":\"192.0.2.10\",\"port\":7777}");
        }
        /* ... render the frame ... */
    }

    printf("%s after %d frames\n", game.match_played ? "match played" : "no match", frame);
    krmm_free_matchmaking(matchmaker);
    hy_client_free(client);
    return game.match_played ? 0 : 1;
}
