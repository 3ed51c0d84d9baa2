#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "KRMatchmakingSystem.h"
#include "tasksystem/TaskManager.h"
#include "tasksystem/TaskManagerPlacement.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace KRTaskSystem {
namespace {

// Bytes the C runtime holds from the system; false where that cannot be read
// (under AddressSanitizer glibc's figures stay flat whatever happens).
bool HeldBytes(std::size_t* bytes) {
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    const struct mallinfo2 info = mallinfo2();
    *bytes = info.arena + info.hblkhd;
    return true;
#else
    (void)bytes;
    return false;
#endif
}

// Many managers alive at once: each starts on a cache line, and their first
// bytes spread over the lines of a page instead of sharing one offset.
TEST(TaskManagerPlacement, ManagersSpreadOverCacheSets) {
    std::vector<std::unique_ptr<TaskManager>> managers;
    std::set<std::uintptr_t> lines_in_page;
    for (int i = 0; i < 200; ++i) {
        managers.emplace_back(new TaskManager("m", 0));
        const auto address = reinterpret_cast<std::uintptr_t>(managers.back().get());
        EXPECT_EQ(address % kCacheLine, 0u);
        lines_in_page.insert(address % kPage / kCacheLine);
    }
    EXPECT_GE(lines_in_page.size(), 48u);
}

// A game may create its matchmaker on one thread and free it on another;
// doing so again and again must not make the library hold more memory. One
// manager block is about 260 KiB: the bound allows a few, where keeping freed
// blocks per thread grew by one block per round (about 256 MiB here).
TEST(TaskManagerPlacement, MemoryStaysFlatWhenAnotherThreadFrees) {
    std::size_t before = 0;
    if (!HeldBytes(&before)) {
        GTEST_SKIP() << "no way to read the allocator's figures here";
    }
    const auto round = [] {
        krmm_matchmaker* matchmaker = krmm_create_matchmaking(nullptr, "handed over", 0);
        ASSERT_NE(matchmaker, nullptr);
        krmm_restart(matchmaker);  // a second manager in the matchmaker's life
        std::thread([matchmaker] { krmm_free_matchmaking(matchmaker); }).join();
    };
    for (int i = 0; i < 10; ++i) {  // the allocator settles its thresholds
        round();
    }
    ASSERT_TRUE(HeldBytes(&before));
    for (int i = 0; i < 1000; ++i) {
        round();
    }
    std::size_t after = 0;
    ASSERT_TRUE(HeldBytes(&after));
    EXPECT_LT(after, before + 4 * (sizeof(TaskManager) + kManagerBlockExtra))
        << "held " << before << " bytes before, " << after << " after";
}

}  // namespace
}  // namespace KRTaskSystem
