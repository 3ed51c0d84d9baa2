// The operating-system layer and the clocks built on it. These hold on every
// system the library is built for.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "matchmaking/MatchmakingSystem.h"
#include "platform/Platform.h"
#include "util/Clock.h"
#include "util/String.h"

namespace {

using KRMatchmakingSystem::MillisecondClock;
using KRMatchmakingSystem::String;
namespace TestClock = KRMatchmakingSystem::TestClock;

TEST(PlatformTest, CounterIsMonotonicAndClockCountsMilliseconds) {
    ASSERT_GT(KRPlatform::PerformanceFrequency(), 0u);
    MillisecondClock clock;
    const uint32_t a = clock.Now();
    // Spin (no sleeping) until the counter has moved by at least 6 ms.
    const uint64_t six_ms = KRPlatform::PerformanceFrequency() * 6 / 1000;
    const uint64_t first = KRPlatform::PerformanceCounter();
    for (uint64_t now = first; now - first < six_ms;) {
        const uint64_t next = KRPlatform::PerformanceCounter();
        ASSERT_GE(next, now);
        now = next;
    }
    const uint32_t b = clock.Now();
    // A clock in other units (seconds, microseconds) would fail one side.
    EXPECT_GE(b - a, 5u);
    EXPECT_LT(b - a, 5000u);
}

TEST(PlatformTest, UtcTimeIsPlausibleAndStampHasItsFixedForm) {
    KRPlatform::UtcTime now{};
    ASSERT_TRUE(KRPlatform::CurrentUtcTime(&now));
    EXPECT_GE(now.year + 1900, 2020);
    EXPECT_TRUE(now.month >= 0 && now.month <= 11 && now.day >= 1 && now.day <= 31);
    String stamp;
    KRMatchmakingSystem::FormatTimeStamp(&stamp);
    EXPECT_TRUE(std::regex_match(stamp.c_str(), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")))
        << stamp.c_str();
}

TEST(PlatformTest, RandomBytesDifferBetweenDraws) {
    std::set<std::string> draws;
    for (int i = 0; i < 8; ++i) {
        uint8_t bytes[16] = {};
        ASSERT_TRUE(KRPlatform::RandomBytes(bytes, sizeof(bytes)));
        draws.insert(std::string(reinterpret_cast<char*>(bytes), sizeof(bytes)));
    }
    EXPECT_EQ(draws.size(), 8u);
}

TEST(ClockTest, TestSeamDrivesEveryClockAndWrapsUnsigned) {
    MillisecondClock a;
    MillisecondClock b;
    TestClock::Set(0xFFFFFF00u);
    EXPECT_EQ(a.Now(), 0xFFFFFF00u);
    TestClock::Advance(0x200);
    EXPECT_EQ(b.Now(), 0x100u);
    TestClock::Release();
    EXPECT_FALSE(TestClock::IsEngaged());
}

TEST(StringTest, EmptyNullAndSelfAssignment) {
    String s;
    EXPECT_STREQ(s.c_str(), "");
    EXPECT_TRUE(s.empty());
    s = "abc";
    EXPECT_TRUE(!s.empty() && s.Equals("abc"));
    s = "";
    EXPECT_TRUE(s.empty());
    s = "xyz";
    s = static_cast<const char*>(nullptr);
    EXPECT_TRUE(s.empty());
    // Assigning a text that points into the String's own value must copy
    // before releasing it.
    s = "hello world";
    s.Assign(s.c_str() + 6);
    EXPECT_STREQ(s.c_str(), "world");
    String copy(s);
    s = "changed";
    EXPECT_STREQ(copy.c_str(), "world");
    EXPECT_TRUE(String().Equals(nullptr));
    EXPECT_TRUE(String() == String(""));
    EXPECT_FALSE(String("a") == String("ab"));
}

}  // namespace
