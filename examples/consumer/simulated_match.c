/*
 * A game's integration test on simulated time, as halyard/README.md shows it:
 * a whole match driven by the loopback client from a scenario file (the
 * program's argument; match_scenario.json beside this file), with the
 * keep-alive 17 s after the first and the accept and start windows, in a few
 * thousand frames that take milliseconds. Exits 0 when the match went as the
 * scenario scripts it, 1 otherwise (and says which check failed).
 */
#include <stdio.h>
#include <string.h>

#include "KRMatchmakingSystem.h"
#include "KRMatchmakingSystemTesting.h"
#include "halyard.h"

#define JOIN_INFO "{\"server\":\"10.0.0.7:7777\"}"

static int failures = 0;

static void check(int condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

/* user_data becomes 1 once the started match carries the join info given. */
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
    int frame;
    hy_client* client = hy_client_create(NULL);
    krmm_matchmaker* matchmaker;

    if (argc != 2 || hyl_load_scenario(client, argv[1]) != 0) {
        fprintf(stderr, "usage: simulated_match <scenario file>\n%s\n", hyl_last_error());
        return 1;
    }
    krmm_testing_clock_set(0); /* before the matchmaker exists */
    matchmaker = krmm_create_matchmaking(client, "game", 0);
    krmm_register_msg_callback(matchmaker, on_message, &started);
    check(krmm_start_matchmaking(matchmaker, "11111111-2222-4333-8444-555555555555", NULL, NULL, 0,
                                 NULL, NULL) == 1,
          "matchmaking starts");
    /* Frames until the run is over and the matchmaker idle again. */
    for (frame = 0; frame < 10000 && !krmm_is_idle(matchmaker); ++frame) {
        krmm_testing_clock_advance(16); /* one 16 ms frame, no sleeping */
        krmm_process(matchmaker);
    }

    check(started && krmm_is_idle(matchmaker), "the match started with the join info, then idle");
    check(frame * 16 > 17000, "more than one keep-alive interval of matchmaker time");
    check(hyl_journal_count_kind(client, HYL_KEEPALIVE) == 2, "two keep-alives, 17 s apart");
    check(hyl_journal_count(client) > 2 && hyl_journal_get(client, 2)->source == HYL_DEFAULT,
          "the second keep-alive got the \"matched\" default");
    check(hyl_journal_count_kind(client, HYL_START) == 1, "one start request");
    check(hyl_journal_push_count(client) == 1 && hyl_pending_pushes(client) == 0,
          "the scenario's push was delivered");

    krmm_free_matchmaking(matchmaker);
    hy_client_free(client);
    krmm_testing_clock_release();
    check(hyl_live_tasks() == 0 && hyl_live_responses() == 0 && hyl_live_json() == 0,
          "nothing left alive");
    printf("%s after %d frames (%d s of matchmaker time)\n",
           failures == 0 ? "match played on simulated time" : "match FAILED", frame,
           frame * 16 / 1000);
    return failures == 0 ? 0 : 1;
}
