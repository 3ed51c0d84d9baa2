#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "Kinds.h"
#include "halyard.h"

namespace halyard {

// What the loopback backend answers to one request.
struct Answer {
    int32_t status = 0;
    std::string body;  // compact JSON text, "" for no body
    uint32_t pendingPolls = 0;
    // The request this answer expects (RequestKey form), "" for any.
    std::string expectedRequest;
    // Where its request came in the recorded session, across kinds; answers
    // with an order are to be taken in that order.
    std::optional<uint32_t> order;
};

// Builds an answer from its scripted form; false, with the reason in *error,
// when body is not JSON.
bool MakeAnswer(int32_t status, const char* body, uint32_t pendingPolls, Answer* out,
                std::string* error);

// A message to push once the client has made enough requests and polls.
struct ScheduledPush {
    std::string first;
    std::string type;
    std::string json;  // compact JSON text, "" for none
    uint32_t afterRequests = 0;
    uint32_t afterPolls = 0;
};

// The scripted side of one client: per kind its faults, queued answers and
// default; the pushes still to deliver; the request and poll counts that
// trigger them.
class Loopback {
public:
    // Queues answer count times (0: not at all).
    void Script(hyl_kind kind, Answer answer, uint32_t count = 1) {
        if (count > 0) {
            queues_[kind].push_back(Queued{std::move(answer), count});
        }
    }
    void SetDefault(hyl_kind kind, Answer answer) { defaults_[kind] = std::move(answer); }
    void SetFault(hyl_kind kind, int32_t status, uint32_t count) {
        faults_[kind] = Fault{status, count};
    }
    uint32_t ScriptedCount(hyl_kind kind) const;
    // The answer for the next request of the kind: a fault, else the oldest
    // queued answer, else the default; *source says which.
    Answer Next(hyl_kind kind, hyl_source* source);

    void Schedule(ScheduledPush push) { pushes_.push_back(std::move(push)); }
    // Removes and returns, in scheduled order, the pushes due at the counts.
    std::vector<ScheduledPush> TakeDuePushes();
    uint32_t PendingPushes() const { return static_cast<uint32_t>(pushes_.size()); }

    // The queued answer with the lowest order, among the next of each kind.
    struct Earliest {
        hyl_kind kind;
        uint32_t order;
    };
    std::optional<Earliest> EarliestOrdered() const;

    uint32_t requests = 0;
    uint32_t polls = 0;
    // Replay: whether an unscripted request or an unscheduled push is a
    // mismatch, and the mismatches found, oldest first.
    bool strict = false;
    std::vector<std::string> mismatches;

private:
    struct Fault {
        int32_t status = 0;
        uint32_t count = 0;
    };

    // A repeated answer is held once with the number of requests it still
    // answers, so a large repeat costs no memory.
    struct Queued {
        Answer answer;
        uint32_t left;
    };

    std::array<std::deque<Queued>, HYL_KIND_COUNT> queues_;
    std::array<std::optional<Answer>, HYL_KIND_COUNT> defaults_;
    std::array<Fault, HYL_KIND_COUNT> faults_{};
    std::vector<ScheduledPush> pushes_;
};

}  // namespace halyard
