#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "halyard.h"

// A replay that took the recorded road to its end: no request differed from
// the recording, every answer came from it, no answer or push is left over.
inline void ExpectWholeReplay(hy_client* client) {
    EXPECT_EQ(hyl_replay_mismatches(client), 0u);
    for (uint32_t i = 0; i < hyl_journal_count(client); ++i) {
        EXPECT_EQ(hyl_journal_get(client, i)->source, HYL_SCRIPTED) << "request " << i;
    }
    for (int kind = 0; kind < HYL_KIND_COUNT; ++kind) {
        EXPECT_EQ(hyl_scripted_count(client, static_cast<hyl_kind>(kind)), 0u)
            << hyl_kind_name(static_cast<hyl_kind>(kind));
    }
    EXPECT_EQ(hyl_pending_pushes(client), 0u);
}

// Every halyard test has a client of a known identity and checks that it gave
// back every task, response, JSON block and options object it was handed.
class HalyardTest : public ::testing::Test {
protected:
    // Live tasks, responses, JSON blocks and options objects.
    static std::array<uint32_t, 4> Live() {
        return {hyl_live_tasks(), hyl_live_responses(), hyl_live_json(), hyl_live_options()};
    }
    void SetUp() override {
        live_ = Live();
        client_ = hy_client_create("5b0e8c1a-7d2f-4e63-9a41-c3f0d2b7e815");
        ASSERT_NE(client_, nullptr);
    }
    void TearDown() override {
        hy_client_free(client_);
        EXPECT_EQ(Live(), live_) << "tasks, responses, JSON, options: one was not freed";
    }

    static hy_json* Parse(const char* text) { return hy_json_parse(text, std::strlen(text)); }

    // Compact text of value, "<null>" when the library gives none.
    static std::string Text(const hy_json* value) {
        char* text = hy_json_serialize(value, 0);
        std::string copy = text != nullptr ? text : "<null>";
        hy_free(text);
        return copy;
    }

    // Polls the task to its end (at most 100 polls), fetches its response,
    // frees both: "polls status okay|fail body", polls being those that said
    // "pending" and okay what hy_response_is_okay said.
    static std::string Finish(hy_task* task) {
        int polls = 0;
        while (hy_task_is_pending(task) != 0 && polls < 100) {
            ++polls;
        }
        hy_response* response = hy_task_fetch_response(task);
        const std::string line = std::to_string(polls) + " " +
                                 std::to_string(hy_response_get_status_code(response)) +
                                 (hy_response_is_okay(response) != 0 ? " okay " : " fail ") +
                                 Text(hy_response_get_json(response));
        hy_response_free(response);
        hy_task_free(task);
        return line;
    }

    // Finish of count tasks made one after another by send.
    template <typename Send>
    static std::vector<std::string> Answers(int count, Send send) {
        std::vector<std::string> lines;
        for (int i = 0; i < count; ++i) {
            lines.push_back(Finish(send()));
        }
        return lines;
    }

    hy_client* client_ = nullptr;

private:
    std::array<uint32_t, 4> live_{};
};
