#include "LiveCounts.h"

#include <jansson.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "halyard.h"

namespace halyard {
namespace {

std::atomic<uint32_t> g_tasks{0};
std::atomic<uint32_t> g_responses{0};
std::atomic<uint32_t> g_options{0};
std::atomic<uint32_t> g_jsonBlocks{0};

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

void* CountingMalloc(size_t size) {
    void* block = std::malloc(size);
    if (block != nullptr) {
        g_jsonBlocks.fetch_add(1, std::memory_order_relaxed);
    }
    return block;
}

void CountingFree(void* block) {
    if (block != nullptr) {
        g_jsonBlocks.fetch_sub(1, std::memory_order_relaxed);
        std::free(block);
    }
}

// Installing at load time keeps any block from being made by the plain
// allocator and later released through the counting one.
struct InstallAtLoad {
    InstallAtLoad() { EnsureJsonCounting(); }
} g_installAtLoad;

}  // namespace

void CountCreated(LiveKind kind) {
    CounterOf(kind).fetch_add(1, std::memory_order_relaxed);
}

void CountFreed(LiveKind kind) {
    CounterOf(kind).fetch_sub(1, std::memory_order_relaxed);
}

void EnsureJsonCounting() {
    static const bool installed = [] {
        json_set_alloc_funcs(&CountingMalloc, &CountingFree);
        return true;
    }();
    (void)installed;
}

char* AllocateText(size_t size) {
    return static_cast<char*>(CountingMalloc(size));
}

void FreeText(void* text) {
    CountingFree(text);
}

}  // namespace halyard

extern "C" {

HY_API uint32_t HY_CALL hyl_live_tasks(void) {
    return halyard::g_tasks.load();
}
HY_API uint32_t HY_CALL hyl_live_responses(void) {
    return halyard::g_responses.load();
}
HY_API uint32_t HY_CALL hyl_live_json(void) {
    return halyard::g_jsonBlocks.load();
}
HY_API uint32_t HY_CALL hyl_live_options(void) {
    return halyard::g_options.load();
}

}  // extern "C"
