#pragma once

// Printing a SimulationSummary for people and for programs.

#include <string>

#include "Summary.h"

namespace KRSimulator {

// A readable multi-line summary.
std::string FormatSummaryText(const SimulationSummary& summary);
// One JSON object (with a trailing newline) with the same figures; the
// per-attempt record and the events are left out (--csv, --events). The
// figures of an empty group are null. Two runs of one seed give the same
// text unless it shows the wall time too.
std::string FormatSummaryJson(const SimulationSummary& summary, bool wall_time = false);

}  // namespace KRSimulator
