// Compiled as C: the example at the top of halyard.h, step for step, and a
// game's own use of the JSON runtime beside the loopback. Exits non-zero on
// the first failed check.
#include <jansson.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../../c_header/check.h"
#include "halyard.h"

#define MATCHABLE_ID "0f1e2d3c-4b5a-4978-8695-a4b3c2d1e0f9"
#define HOPPER_ID "11111111-2222-4333-8444-555555555555"

// The game's own allocator, set before anything else runs.
static size_t g_game_blocks = 0;
static void* game_malloc(size_t size) {
    ++g_game_blocks;
    return malloc(size);
}
static void game_free(void* block) {
    if (block != NULL) {
        --g_game_blocks;
    }
    free(block);
}

static int header_example(void) {
    hy_client* client = hy_client_create(NULL);
    hy_json* status = hyl_status_json(MATCHABLE_ID, HOPPER_ID, 1, "matching");
    hy_task* task;
    hy_response* response;
    int polls = 0;
    CHECK(hyl_script_json(client, HYL_KEEPALIVE, 200, status, 2) == 0);
    task = hy_r_matchmaking_keepalive(client, MATCHABLE_ID);
    while (hy_task_is_pending(task)) {
        ++polls;
    }
    CHECK(polls == 2);
    response = hy_task_fetch_response(task);
    CHECK(strcmp(hy_json_get_string_item(hy_response_get_json(response), "state"), "matching") ==
          0);
    hy_response_free(response);
    hy_task_free(task);
    CHECK(hyl_journal_count_kind(client, HYL_KEEPALIVE) == 1);
    hy_client_free(client);
    CHECK(hyl_live_tasks() == 0 && hyl_live_responses() == 0 && hyl_live_json() == 0);
    return 0;
}

static int good_neighbour(void) {
    json_malloc_t malloc_in_use = NULL;
    json_free_t free_in_use = NULL;
    json_t* game_value = json_pack("{s:[i,i]}", "scores", 1, 2);
    hy_json* ours = hy_json_new_object();
    // Only halyard's value counts; the game's is neither counted nor touched.
    CHECK(hyl_live_json() == 1);
    hy_json_free(ours);
    CHECK(hyl_live_json() == 0);
    // The game's allocator is still the one in use, and it saw the game's value.
    json_get_alloc_funcs(&malloc_in_use, &free_in_use);
    CHECK(malloc_in_use == game_malloc && free_in_use == game_free);
    CHECK(g_game_blocks > 0);
    json_decref(game_value);
    CHECK(g_game_blocks == 0);
    return 0;
}

int main(void) {
    json_set_alloc_funcs(game_malloc, game_free);
    return header_example() || good_neighbour();
}
