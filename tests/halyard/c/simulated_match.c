// Compiled as C: a game's integration test as halyard/README.md shows it, a
// whole match on simulated time from a scenario file (the road state by state
// is the record/replay test's). Exits non-zero on the first failed check.
#include <stdio.h>
#include <string.h>

#include "../../c_header/check.h"
#include "KRMatchmakingSystem.h"
#include "KRMatchmakingSystemTesting.h"
#include "halyard.h"

#define JOIN_INFO "{\"server\":\"10.0.0.7:7777\"}"

// user_data becomes 1 once the started match carries the join info given.
static void on_message(krmm_matchmaker* matchmaker, const char* name, int32_t value,
                       const char* text, void* user_data) {
    (void)text;
    if (strcmp(name, "state") != 0) {
        return;
    }
    if (value == MMS_MATCHED) {
        krmm_accept_match(matchmaker);
    } else if (value == MMS_ACCEPTED_LEADER) {
        krmm_start_match(matchmaker, JOIN_INFO);
    } else if (value == MMS_MATCH_STARTED) {
        *(int*)user_data = strcmp(krmm_get_match_info_join_json_str(matchmaker), JOIN_INFO) == 0;
    }
}

int main(int argc, char** argv) {
    int started = 0;
    hy_client* client = hy_client_create(NULL);
    krmm_matchmaker* matchmaker;
    int frame;

    CHECK(argc == 2);
    if (hyl_load_scenario(client, argv[1]) != 0) {
        fprintf(stderr, "%s\n", hyl_last_error());
        return 1;
    }
    krmm_testing_clock_set(0);
    matchmaker = krmm_create_matchmaking(client, "game", 0);
    krmm_register_msg_callback(matchmaker, on_message, &started);
    CHECK(krmm_start_matchmaking(matchmaker, "11111111-2222-4333-8444-555555555555", NULL, NULL, 0,
                                 NULL, NULL) == 1);
    // Frames until the run is over and the matchmaker idle again.
    for (frame = 0; frame < 10000 && !krmm_is_idle(matchmaker); ++frame) {
        krmm_testing_clock_advance(16);
        krmm_process(matchmaker);
    }

    CHECK(started && krmm_is_idle(matchmaker));
    // Two keep-alives 17 s apart: more than half a minute of matchmaker time.
    CHECK(frame * 16 > 17000);
    CHECK(hyl_journal_count_kind(client, HYL_KEEPALIVE) == 2);
    CHECK(hyl_journal_get(client, 2)->source == HYL_DEFAULT);  // the "matched" default
    CHECK(hyl_journal_count_kind(client, HYL_START) == 1);
    CHECK(hyl_journal_push_count(client) == 1 && hyl_pending_pushes(client) == 0);

    krmm_free_matchmaking(matchmaker);
    hy_client_free(client);
    krmm_testing_clock_release();
    CHECK(hyl_live_tasks() == 0 && hyl_live_responses() == 0 && hyl_live_json() == 0);
    return 0;
}
