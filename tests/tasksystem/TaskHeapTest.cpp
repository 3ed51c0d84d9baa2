#include <gtest/gtest.h>

#include <cstdint>

#include "tasksystem/TaskHeap.h"

namespace {

using KRTaskSystem::TaskHeap;

class TaskHeapTest : public ::testing::Test {
protected:
    void SetUp() override { heap_.Init(region_, sizeof(region_)); }

    uint8_t region_[100] = {};
    TaskHeap heap_;
};

TEST_F(TaskHeapTest, BlocksAreExactAndComeBackOnlyWhenEveryOneIsFreed) {
    void* first = heap_.Alloc(12);
    void* odd = heap_.Alloc(3);
    void* after_odd = heap_.Alloc(1);
    // Exactly size bytes each: no header, no rounding to an alignment.
    EXPECT_EQ(first, region_);
    EXPECT_EQ(odd, region_ + 12);
    EXPECT_EQ(after_odd, region_ + 15);
    EXPECT_FLOAT_EQ(heap_.peak_usage(), 0.16f);

    heap_.Free(first);
    heap_.Free(odd);
    EXPECT_EQ(heap_.used(), 16u);
    EXPECT_FLOAT_EQ(heap_.peak_usage(), 0.16f);
    heap_.Free(after_odd);
    EXPECT_TRUE(heap_.IsAtStart());
    EXPECT_EQ(heap_.peak_usage(), 0.0f);

    // A copied text takes its terminator; null becomes an empty text.
    char source[] = "abc";
    char* copy = heap_.StrDup(source);
    source[0] = 'X';
    EXPECT_STREQ(copy, "abc");
    EXPECT_STREQ(heap_.StrDup(nullptr), "");
    EXPECT_EQ(heap_.used(), 5u);
}

// A free that is not of a live block of this heap must not reset it.
TEST_F(TaskHeapTest, StrayFreesCannotResetLiveBlocks) {
    void* block = heap_.Alloc(10);
    char outside[4];
    heap_.Free(outside);
    heap_.Free(region_ + sizeof(region_));  // one past the end
    heap_.Free(nullptr);
    EXPECT_EQ(heap_.live_count(), 1u);
    EXPECT_EQ(heap_.used(), 10u);

    heap_.Free(block);
    heap_.Free(block);  // nothing live any more
    EXPECT_EQ(heap_.Alloc(4), static_cast<void*>(region_));
    EXPECT_EQ(heap_.live_count(), 1u);
}

TEST_F(TaskHeapTest, RequestsThatDoNotFitFailWithoutMovingTheCursor) {
    ASSERT_NE(heap_.Alloc(90), nullptr);
    EXPECT_EQ(heap_.Alloc(11), nullptr);
    EXPECT_EQ(heap_.Alloc(0), nullptr);
    EXPECT_EQ(heap_.used(), 90u);
    // The last byte of the region is usable, nothing past it.
    EXPECT_EQ(heap_.Alloc(10), static_cast<void*>(region_ + 90));
    EXPECT_EQ(heap_.StrDup(""), nullptr);
    EXPECT_EQ(heap_.live_count(), 2u);
}

}  // namespace
