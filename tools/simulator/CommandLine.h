#pragma once

// The simulator's command line: parsing into SimulationOptions plus the
// switches that only concern output.

#include <string>

#include "Options.h"

namespace KRSimulator {

struct CommandLine {
    SimulationOptions options;
    bool json = false;          // machine-readable summary on stdout
    bool wall_time = false;     // the JSON summary shows wall time (and so varies by run)
    bool emulator_log = false;  // print the emulator's lines instead of only counting them
    bool quiet = false;         // no progress lines
    // Output files; empty: not written.
    std::string csv_file;     // one row per player attempt
    std::string events_file;  // JSON lines of state changes
    std::string report_file;  // self-contained HTML report
    std::string record_file;  // options.record_player's exchanges as a loopback scenario
};

enum class ParseOutcome {
    kRun,
    kHelp,
    kError,
};

// Parses argv[1..argc-1]. On kError, *error names the offending option.
ParseOutcome ParseCommandLine(int argc, const char* const* argv, CommandLine* command_line,
                              std::string* error);

// Parses a --log value: a number (decimal or 0x hexadecimal) or a comma
// list of info, debug, warning, error, hy-info, hy-errors, ts-info,
// ts-errors and all. False on anything else.
bool ParseLogFlags(const std::string& text, uint32_t* flags);

std::string UsageText(const char* program);

}  // namespace KRSimulator
