#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Simulation.h"

// Building and running a simulation in a test: a run that cannot start or
// ends with a player not idle fails the test that asked for it.
namespace KRSimulator {

inline SimulationOptions Options(uint32_t players, int32_t match_size, double decline = 0.0,
                                 double no_answer = 0.0, uint64_t seed = 1) {
    SimulationOptions options;
    options.players = players;
    options.hopper_id = HopperIdForSize(match_size);
    options.decline_fraction = decline;
    options.no_answer_fraction = no_answer;
    options.seed = seed;
    return options;
}

inline SimulationSummary RunChecked(const SimulationOptions& options) {
    SimulationSummary summary;
    std::string error;
    EXPECT_TRUE(RunSimulation(options, &summary, &error)) << error;
    EXPECT_EQ(summary.invariant_violations, std::vector<std::string>{});
    return summary;
}

}  // namespace KRSimulator
