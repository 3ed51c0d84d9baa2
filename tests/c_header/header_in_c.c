/* Compiled as C: proves the public headers are plain C and that a C game can
 * create a matchmaker, register callbacks, configure it and free it through
 * the shared library. Exits non-zero on the first mismatch. */
#include <stdio.h>
#include <string.h>

#include "KRMatchmakingSystem.h"
#include "check.h"
#include "halyard.h"

static int g_lines = 0;

static void KRMM_CALL on_log(krmm_matchmaker* matchmaker, int32_t log_type, const char* line,
                             void* user_data) {
    (void)matchmaker;
    (void)log_type;
    ++*(int*)user_data;
    printf("%s\n", line);
}

static void KRMM_CALL on_msg(krmm_matchmaker* matchmaker, const char* name, int32_t value,
                             const char* text, void* user_data) {
    (void)matchmaker, (void)name, (void)value, (void)text, (void)user_data;
}

int main(void) {
    hy_client* client = hy_client_create(NULL);
    krmm_matchmaker* matchmaker;
    EloPlayer a = {1500.0, 32.0};
    EloPlayer b = {1500.0, 32.0};
    EloTeam teams[2] = {{1, NULL, 1}, {2, NULL, 1}};

    CHECK(client != NULL);
    matchmaker = krmm_create_matchmaking(client, "c-game", MMF_LOG_INFO | MMF_LOG_DEBUG);
    CHECK(matchmaker != NULL);
    CHECK(strcmp(krmm_get_name(matchmaker), "c-game") == 0);
    CHECK(krmm_is_idle(matchmaker) == 1);
    CHECK(krmm_register_log_callback(matchmaker, on_log, &g_lines) != NULL);
    CHECK(krmm_register_msg_callback(matchmaker, on_msg, NULL) != NULL);
    krmm_set_flags(matchmaker, MMF_LOG_INFO | MMF_AUTO_ACCEPT);
    CHECK(krmm_has_flags(matchmaker, MMF_AUTO_ACCEPT) == 1);
    krmm_set_emulator(matchmaker, 1);
    CHECK(hye_emulator_is_enabled() == 1);
    krmm_set_emulator(matchmaker, 0);
    CHECK(krmm_process(matchmaker) == 0);
    CHECK(strcmp(krmm_matchmaking_state_to_str(MMS_MATCHED), "MMS_MATCHED") == 0);

    teams[0].players = &a;
    teams[1].players = &b;
    CHECK(krmm_rating_elo_update(teams, 2) == 1);
    CHECK(a.rating > 1500.0 && b.rating < 1500.0);

    krmm_free_matchmaking(matchmaker);
    krmm_free_matchmaking(NULL);
    hy_client_free(client);
    CHECK(g_lines >= 2);
    CHECK(hyl_live_tasks() == 0 && hyl_live_responses() == 0);
    printf("C header check passed (%d log lines)\n", g_lines);
    return 0;
}
