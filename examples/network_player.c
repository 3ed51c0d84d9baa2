/*
 * One player of a two-player game played over the network: run it in two
 * terminals against a running matchmaking service (./scripts/serve.sh).
 *
 *     network_player [--service URL[,URL...]] [--hopper HOPPER_ID] [--frames N]
 *
 * The player logs in (a development service hands out a token at
 * /v1/sessions; a real game gets it from its own backend), connects its
 * backend client with that token, queues in the hopper of two and accepts
 * the match. The matchmaker that leads the match starts it with the address
 * of its game server; the other prints what it was told. Both go back to
 * idle and exit with 0 once they have played (1 if not within the frames).
 *
 * Everything happens in the game loop: once per frame hyn_client_pump (the
 * service's pushes arrive here, on the game's thread) and krmm_process.
 * Neither ever waits for the network.
 */
#include <curl/curl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "KRMatchmakingSystem.h"
#include "halyard.h"

/* The service's default hopper whose matches take two players. */
static const char* const kDuelHopperId = "0e6976d1-1655-5da5-8354-3d3a38537aed";
static const int kFrameMs = 16;

typedef struct Game {
    int32_t state;
    int played;   /* the match started */
    int finished; /* back in MMS_IDLE after playing */
} Game;

typedef struct Text {
    char bytes[4096];
    size_t length;
} Text;

static size_t keep_text(char* data, size_t size, size_t count, void* user_data) {
    Text* text = (Text*)user_data;
    size_t room = sizeof text->bytes - 1 - text->length;
    size_t length = size * count < room ? size * count : room;
    memcpy(text->bytes + text->length, data, length);
    text->length += length;
    text->bytes[text->length] = '\0';
    return size * count;
}

/* The game's login, once before play: it may wait, the game loop may not.
 * The first address of the list hands out the token. Returns a text to free
 * with free(), or NULL. */
static char* log_in(const char* service) {
    char url[512];
    size_t length = strcspn(service, ",");
    Text answer = {{0}, 0};
    char* token = NULL;
    CURL* curl = curl_easy_init();
    if (curl == NULL || length > 400) {
        curl_easy_cleanup(curl);
        return NULL;
    }
    snprintf(url, sizeof url, "%.*s/v1/sessions", (int)length, service);
    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "{}");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keep_text);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    if (curl_easy_perform(curl) == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        hy_json* body = hy_json_parse(answer.bytes, answer.length);
        const char* text = hy_json_get_string_item(body, "token");
        if (status == 200 && text != NULL) {
            token = malloc(strlen(text) + 1);
            if (token != NULL) {
                strcpy(token, text);
            }
        } else {
            fprintf(stderr, "%s answered %ld %s\n", url, status, answer.bytes);
        }
        hy_json_free(body);
    } else {
        fprintf(stderr, "cannot reach %s: is the service running (./scripts/serve.sh)?\n", url);
    }
    curl_easy_cleanup(curl);
    return token;
}

static void on_log(krmm_matchmaker* matchmaker, int32_t log_type, const char* line,
                   void* user_data) {
    (void)matchmaker;
    (void)log_type;
    (void)user_data;
    printf("  log   %s\n", line);
}

static void on_message(krmm_matchmaker* matchmaker, const char* name, int32_t value,
                       const char* text, void* user_data) {
    Game* game = (Game*)user_data;
    if (strcmp(name, "state") == 0) {
        printf("state  %s\n", krmm_matchmaking_state_to_str(value));
        if (value == MMS_MATCH_STARTED) {
            game->played = 1;
            printf("match  %s: join %s\n", krmm_get_match_info_match_id(matchmaker),
                   krmm_get_match_info_join_json_str(matchmaker));
        }
        if (value == MMS_IDLE && game->played) {
            game->finished = 1;
        }
        game->state = value;
    } else if (strcmp(name, "error") == 0) {
        printf("error  %s (%s)\n", krmm_error_code_to_str(value), text != NULL ? text : "-");
    }
}

static void wait_for_next_frame(void) {
    struct timespec frame = {0, kFrameMs * 1000000L};
    nanosleep(&frame, NULL);
}

int main(int argc, char** argv) {
    const char* service = "http://127.0.0.1:8750";
    const char* hopper = kDuelHopperId;
    long frames = 60L * 60 * 5; /* five minutes of frames */
    Game game = {MMS_IDLE, 0, 0};
    char join_info[256];
    char* token;
    hy_client* client;
    krmm_matchmaker* matchmaker;
    long frame;
    int i;

    for (i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--service") == 0) {
            service = argv[i + 1];
        } else if (strcmp(argv[i], "--hopper") == 0) {
            hopper = argv[i + 1];
        } else if (strcmp(argv[i], "--frames") == 0) {
            frames = atol(argv[i + 1]);
        } else {
            break;
        }
    }
    if (i < argc) {
        fprintf(stderr, "usage: %s [--service URL[,URL...]] [--hopper ID] [--frames N]\n",
                argv[0]);
        return 2;
    }

    curl_global_init(CURL_GLOBAL_DEFAULT);
    token = log_in(service);
    if (token == NULL) {
        return 1;
    }
    client = hyn_client_connect(service, token);
    free(token);
    if (client == NULL) {
        fprintf(stderr, "%s\n", hyl_last_error());
        return 1;
    }
    matchmaker = krmm_create_matchmaking(client, "player", MMF_LOG_WARNING | MMF_LOG_ERROR |
                                                               MMF_LOG_HY_ERRORS);
    if (matchmaker == NULL) {
        hy_client_free(client);
        return 1;
    }
    krmm_register_log_callback(matchmaker, on_log, &game);
    krmm_register_msg_callback(matchmaker, on_message, &game);
    printf("player %s queues in hopper %s at %s\n", krmm_client_get_identity_id(matchmaker),
           hopper, service);
    /* This player's game server, as the leader would announce it. */
    snprintf(join_info, sizeof join_info,
             "{\"address\":\"192.0.2.10\",\"port\":7777,\"host\":\"%s\"}",
             krmm_client_get_identity_id(matchmaker));
    if (!krmm_start_matchmaking(matchmaker, hopper, NULL, NULL, 0, NULL, NULL)) {
        fprintf(stderr, "matchmaking refused: %s\n",
                krmm_error_code_to_str(krmm_get_error_code(matchmaker)));
    }

    for (frame = 0; frame < frames && !game.finished; ++frame) {
        hyn_client_pump(client);
        krmm_process(matchmaker);
        if (game.state == MMS_MATCHED) {
            printf("found  a match: accepting\n");
            krmm_accept_match(matchmaker);
        } else if (game.state == MMS_ACCEPTED_LEADER) {
            printf("lead   starting the match on %s\n", join_info);
            krmm_start_match(matchmaker, join_info);
        }
        wait_for_next_frame();
    }

    printf("%s after %ld frames\n", game.finished ? "played, back to idle" : "no match", frame);
    krmm_free_matchmaking(matchmaker);
    hy_client_free(client);
    curl_global_cleanup();
    return game.finished ? 0 : 1;
}
