#pragma once

// Printing a SimulationSummary for people and for programs.

#include <string>

#include "Simulation.h"

namespace KRSimulator {

// A readable multi-line summary.
std::string FormatSummaryText(const SimulationSummary& summary);
// One JSON object (with a trailing newline); per-player results are left out.
std::string FormatSummaryJson(const SimulationSummary& summary);

}  // namespace KRSimulator
