#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "tasksystem/TaskManager.h"
#include "tasksystem/TaskManagerPlacement.h"

namespace KRTaskSystem {
namespace {

// Many blocks alive at once, across several slabs: every block is cache-line
// aligned, none overlaps another, and their first bytes spread over every
// cache line of a page instead of sharing one offset.
TEST(TaskManagerPlacement, BlocksSpreadOverCacheSetsWithoutOverlapping) {
    const std::size_t block_size = sizeof(TaskManager);
    StaggeredBlockPool pool(block_size);
    EXPECT_EQ(pool.stride() % 128, 64u);  // an odd number of lines
    std::vector<std::uintptr_t> blocks;
    std::set<std::uintptr_t> lines_in_page;
    for (int i = 0; i < 200; ++i) {
        void* block = pool.Take();
        ASSERT_NE(block, nullptr);
        blocks.push_back(reinterpret_cast<std::uintptr_t>(block));
        EXPECT_EQ(blocks.back() % 64, 0u);
        lines_in_page.insert(blocks.back() % 4096 / 64);
    }
    EXPECT_EQ(lines_in_page.size(), 64u);
    std::set<std::uintptr_t> sorted(blocks.begin(), blocks.end());
    ASSERT_EQ(sorted.size(), blocks.size());
    for (auto it = sorted.begin(); std::next(it) != sorted.end(); ++it) {
        EXPECT_GE(*std::next(it) - *it, block_size);
    }
    // A freed block is the next one handed out.
    pool.Give(reinterpret_cast<void*>(blocks[17]));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pool.Take()), blocks[17]);
    for (std::uintptr_t block : blocks) {
        pool.Give(reinterpret_cast<void*>(block));
    }
}

}  // namespace
}  // namespace KRTaskSystem
