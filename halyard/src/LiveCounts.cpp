#include "LiveCounts.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "LastError.h"
#include "halyard.h"

namespace halyard {
namespace {

std::atomic<uint32_t> g_tasks{0};
std::atomic<uint32_t> g_responses{0};
std::atomic<uint32_t> g_options{0};
std::atomic<uint32_t> g_texts{0};

std::atomic<uint32_t>& CounterOf(LiveKind kind) {
    switch (kind) {
        case LiveKind::Task:
            return g_tasks;
        case LiveKind::Response:
            return g_responses;
        case LiveKind::Options:
            break;
    }
    return g_options;
}

// The set rather than a count: handing back a value that was never handed
// out (a borrowed member, say) must not lower the tally.
struct OwnedValues {
    std::mutex mutex;
    std::unordered_set<const json_t*> nodes;
};

OwnedValues& Owned() {
    static OwnedValues* owned = new OwnedValues();  // outlives every static destructor
    return *owned;
}

}  // namespace

void CountCreated(LiveKind kind) {
    CounterOf(kind).fetch_add(1, std::memory_order_relaxed);
}

void CountFreed(LiveKind kind) {
    CounterOf(kind).fetch_sub(1, std::memory_order_relaxed);
}

json_t* TrackJson(json_t* node) noexcept {
    if (node != nullptr) {
        try {
            OwnedValues& owned = Owned();
            std::lock_guard<std::mutex> lock(owned.mutex);
            owned.nodes.insert(node);
        } catch (...) {
            // A value that cannot be counted is not handed out.
            json_decref(node);
            return nullptr;
        }
    }
    return node;
}

void UntrackJson(const json_t* node) noexcept {
    if (node != nullptr) {
        try {
            OwnedValues& owned = Owned();
            std::lock_guard<std::mutex> lock(owned.mutex);
            owned.nodes.erase(node);
        } catch (...) {
            // Only the lock can fail here; the count then stays one too high.
        }
    }
}

char* CopyText(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy != nullptr) {
        g_texts.fetch_add(1, std::memory_order_relaxed);
        std::memcpy(copy, text.c_str(), text.size() + 1);
    }
    return copy;
}

void FreeText(void* text) {
    if (text != nullptr) {
        g_texts.fetch_sub(1, std::memory_order_relaxed);
        std::free(text);
    }
}

}  // namespace halyard

extern "C" {

HY_API uint32_t HY_CALL hyl_live_tasks(void) {
    return halyard::g_tasks.load();
}
HY_API uint32_t HY_CALL hyl_live_responses(void) {
    return halyard::g_responses.load();
}
HY_API uint32_t HY_CALL hyl_live_json(void) try {
    halyard::OwnedValues& owned = halyard::Owned();
    std::lock_guard<std::mutex> lock(owned.mutex);
    return static_cast<uint32_t>(owned.nodes.size()) + halyard::g_texts.load();
} catch (...) {
    return halyard::Caught("hyl_live_json", UINT32_MAX);
}
HY_API uint32_t HY_CALL hyl_live_options(void) {
    return halyard::g_options.load();
}

}  // extern "C"
