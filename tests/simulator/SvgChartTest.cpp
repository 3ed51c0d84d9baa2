// The report's axes: round ticks, whole ones for counts, and an end that
// covers what is drawn.

#include <gtest/gtest.h>

#include <utility>

#include "SvgChart.h"

namespace KRSimulator {
namespace {

TEST(SvgChartTest, AxesTickAtRoundValues) {
    const struct {
        double value;
        int most_ticks;
        double least, step, max;
    } cases[] = {
        {2, 5, 1.0, 1, 2},          // a few attempts: 0, 1, 2, not 0, 0.5, ...
        {7, 5, 1.0, 2, 8},          // the end covers the tallest bar
        {51.1, 10, 0.1, 10, 60},    // seconds
        {0.05, 10, 0.1, 0.1, 0.1},  // shorter than the least step
    };
    for (const auto& c : cases) {
        const Axis axis = RoundAxis(c.value, c.most_ticks, c.least);
        EXPECT_EQ(std::make_pair(axis.step, axis.max), std::make_pair(c.step, c.max)) << c.value;
    }
    // The run's time ends where the run did, ticked at round values below.
    const Axis run = EndingAxis(222.2, 10, 0.1);
    EXPECT_EQ(std::make_pair(run.step, run.max), std::make_pair(50.0, 222.2));
}

}  // namespace
}  // namespace KRSimulator
