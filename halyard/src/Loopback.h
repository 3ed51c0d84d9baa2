#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "halyard.h"

namespace halyard {

// What the loopback backend answers to one request.
struct Answer {
    int32_t status = 0;
    bool hasBody = false;
    std::string body;  // JSON text, checked when scripted
    uint32_t pendingPolls = 0;
};

// Builds an answer from its scripted form; false when body is not JSON.
bool MakeAnswer(int32_t status, const char* body, uint32_t pendingPolls, Answer* out);

inline bool IsValidKind(hyl_kind kind) {
    return static_cast<int>(kind) >= 0 && static_cast<int>(kind) < HYL_KIND_COUNT;
}

// The scripted answers of one client, one queue per request kind.
class Loopback {
public:
    void Script(hyl_kind kind, Answer answer) { queues_[kind].push_back(std::move(answer)); }
    void SetDefault(hyl_kind kind, Answer answer) { defaults_[kind] = std::move(answer); }
    uint32_t ScriptedCount(hyl_kind kind) const {
        return static_cast<uint32_t>(queues_[kind].size());
    }
    // The oldest queued answer for the kind, else its default.
    Answer Next(hyl_kind kind);

private:
    std::array<std::deque<Answer>, HYL_KIND_COUNT> queues_;
    std::array<std::optional<Answer>, HYL_KIND_COUNT> defaults_;
};

}  // namespace halyard
