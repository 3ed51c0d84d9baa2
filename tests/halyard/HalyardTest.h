#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "halyard.h"

// Every halyard test checks that it gave back every task, response, JSON
// block and options object it was handed.
class HalyardTest : public ::testing::Test {
protected:
    void SetUp() override {
        tasks_ = hyl_live_tasks();
        responses_ = hyl_live_responses();
        json_ = hyl_live_json();
        options_ = hyl_live_options();
    }

    void TearDown() override {
        EXPECT_EQ(hyl_live_tasks(), tasks_) << "a task was not freed";
        EXPECT_EQ(hyl_live_responses(), responses_) << "a response was not freed";
        EXPECT_EQ(hyl_live_json(), json_) << "a JSON value or text was not freed";
        EXPECT_EQ(hyl_live_options(), options_) << "options were not consumed";
    }

    static hy_json* Parse(const char* text) { return hy_json_parse(text, std::strlen(text)); }

    // Compact text of value, "<null>" when the library gives none.
    static std::string Text(const hy_json* value) {
        char* text = hy_json_serialize(value, 0);
        std::string copy = text != nullptr ? text : "<null>";
        hy_free(text);
        return copy;
    }

    // Polls said "pending", then status and body text of the response.
    struct Outcome {
        int pendingPolls = 0;
        int32_t status = 0;
        std::string body;
    };

    // Polls the task to its end (at most 100 polls), fetches its response, frees both.
    static Outcome Finish(hy_task* task) {
        Outcome outcome;
        while (hy_task_is_pending(task) != 0 && outcome.pendingPolls < 100) {
            ++outcome.pendingPolls;
        }
        hy_response* response = hy_task_fetch_response(task);
        outcome.status = hy_response_get_status_code(response);
        outcome.body = Text(hy_response_get_json(response));
        hy_response_free(response);
        hy_task_free(task);
        return outcome;
    }

private:
    uint32_t tasks_ = 0;
    uint32_t responses_ = 0;
    uint32_t json_ = 0;
    uint32_t options_ = 0;
};

// A test with one client of a known identity.
class HalyardClientTest : public HalyardTest {
protected:
    void SetUp() override {
        HalyardTest::SetUp();
        client_ = hy_client_create("5b0e8c1a-7d2f-4e63-9a41-c3f0d2b7e815");
        ASSERT_NE(client_, nullptr);
    }

    void TearDown() override {
        hy_client_free(client_);
        HalyardTest::TearDown();
    }

    hy_client* client_ = nullptr;
};
