// The hopper file: refused at start when the matchmaker would reject a record.
#include <gtest/gtest.h>

#include "Hoppers.h"

namespace server_test {
namespace {

using namespace KRHalyardServer;

std::string Record(const std::string& members) {
    return R"({"_id":"30ac7aba-e072-52cf-b30d-d88c2ff89f76",)" + members + "}";
}

const std::string kGood = R"("players":4,"teams":[0.5,0.5])";

TEST(HoppersTest, AFileIsRefusedWithTheReasonNamed) {
    struct Case {
        std::string text;
        const char* reason;
    };
    const Case cases[] = {
        {"[" + Record(kGood) + ",", "not JSON"},
        {Record(kGood), "array"},
        {"[]", "array"},
        {"[" + Record(R"("players":0,"teams":[1])") + "]", "would reject"},
        {"[" + Record(R"("players":4)") + "]", "would reject"},
        {"[" + Record(R"("players":4,"teams":[0.5,-0.1])") + "]", "would reject"},
        {"[" + Record(kGood + R"(,"expansion_wait":-1)") + "]", "would reject"},
        {R"([{"_id":"30AC7ABA-E072-52CF-B30D-D88C2FF89F76","players":4,"teams":[1]}])",
         "lower-case"},
        {"[" + Record(kGood) + "," + Record(kGood) + "]", "twice"},
        {R"([{"_id":"00000000-0000-0000-0000-000000000000","players":4,"teams":[1]}])", "nil"},
        {"[" + Record(R"("players":1001,"teams":[1])") + "]", "1000 players"},
    };
    for (const Case& c : cases) {
        Hoppers hoppers;
        std::string error;
        EXPECT_FALSE(Hoppers::Parse(c.text, &hoppers, &error)) << c.text;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    Hoppers hoppers;
    std::string error;
    ASSERT_TRUE(
        Hoppers::Parse("[" + Record(kGood + R"(,"is_enabled":true,"maximum_wait_time":30)") + "]",
                       &hoppers, &error))
        << error;
    const Hopper& hopper = hoppers.all().front();
    EXPECT_TRUE(hopper.enabled);
    EXPECT_FALSE(hopper.allow_groups);
    EXPECT_EQ(hopper.max_wait_ms, 30000);
    EXPECT_EQ(hopper.team_sizes, (std::vector<int32_t>{2, 2}));
}

}  // namespace
}  // namespace server_test
