#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "tasksystem/TaskHeap.h"

namespace {

using KRTaskSystem::TaskHeap;

class TaskHeapTest : public ::testing::Test {
protected:
    void SetUp() override { heap_.Init(region_, sizeof(region_)); }

    uint8_t region_[100] = {};
    TaskHeap heap_;
};

TEST_F(TaskHeapTest, BlocksAreContiguousAndPeakTracksTheHighestCursor) {
    uint8_t* first = static_cast<uint8_t*>(heap_.Alloc(12));
    uint8_t* second = static_cast<uint8_t*>(heap_.Alloc(16));
    uint8_t* odd = static_cast<uint8_t*>(heap_.Alloc(3));
    uint8_t* after_odd = static_cast<uint8_t*>(heap_.Alloc(1));

    // Exactly size bytes each: no header, no rounding to an alignment.
    EXPECT_EQ(first, region_);
    EXPECT_EQ(second, region_ + 12);
    EXPECT_EQ(odd, region_ + 28);
    EXPECT_EQ(after_odd, region_ + 31);
    EXPECT_FLOAT_EQ(heap_.peak_usage(), 0.32f);
    EXPECT_EQ(heap_.live_count(), 4u);
}

TEST_F(TaskHeapTest, MemoryComesBackOnlyWhenEveryBlockIsFreed) {
    void* first = heap_.Alloc(12);
    void* second = heap_.Alloc(16);
    EXPECT_FLOAT_EQ(heap_.peak_usage(), 0.28f);

    heap_.Free(first);
    EXPECT_FALSE(heap_.IsAtStart());
    EXPECT_EQ(heap_.used(), 28u);
    EXPECT_FLOAT_EQ(heap_.peak_usage(), 0.28f);

    heap_.Free(nullptr);
    EXPECT_EQ(heap_.live_count(), 1u);

    heap_.Free(second);
    EXPECT_TRUE(heap_.IsAtStart());
    EXPECT_EQ(heap_.peak_usage(), 0.0f);
    EXPECT_EQ(heap_.Alloc(5), static_cast<void*>(region_));
}

TEST_F(TaskHeapTest, StrayFreesCannotResetLiveBlocks) {
    void* block = heap_.Alloc(10);
    char outside[4];
    heap_.Free(outside);
    heap_.Free(region_ + sizeof(region_));  // one past the end
    EXPECT_EQ(heap_.live_count(), 1u);
    EXPECT_EQ(heap_.used(), 10u);

    heap_.Free(block);
    heap_.Free(block);  // nothing live any more
    EXPECT_EQ(heap_.live_count(), 0u);
    EXPECT_EQ(heap_.Alloc(4), static_cast<void*>(region_));
    EXPECT_EQ(heap_.live_count(), 1u);
}

TEST_F(TaskHeapTest, RequestsThatDoNotFitFailWithoutMovingTheCursor) {
    ASSERT_NE(heap_.Alloc(90), nullptr);
    EXPECT_EQ(heap_.Alloc(11), nullptr);
    EXPECT_EQ(heap_.Alloc(0), nullptr);
    EXPECT_EQ(heap_.used(), 90u);
    EXPECT_EQ(heap_.live_count(), 1u);

    // The last byte of the region is usable, nothing past it.
    EXPECT_EQ(heap_.Alloc(10), static_cast<void*>(region_ + 90));
    EXPECT_FLOAT_EQ(heap_.peak_usage(), 1.0f);
    EXPECT_EQ(heap_.Alloc(1), nullptr);
    EXPECT_EQ(heap_.StrDup(""), nullptr);
    EXPECT_EQ(heap_.live_count(), 2u);
}

TEST_F(TaskHeapTest, StrDupCopiesWithTerminatorAndTurnsNullIntoEmpty) {
    char* copy = heap_.StrDup("abc");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "abc");
    EXPECT_EQ(heap_.used(), 4u);

    char* empty = heap_.StrDup(nullptr);
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty, "");
    EXPECT_EQ(heap_.used(), 5u);

    char source[] = "changes later";
    char* kept = heap_.StrDup(source);
    source[0] = 'X';
    EXPECT_STREQ(kept, "changes later");
}

}  // namespace
