// krmm_simulator: a whole matchmaking session on the in-process emulator.
// Progress and log lines go to stderr, the summary to stdout.

#include <cstdio>
#include <string>

#include "CommandLine.h"
#include "Report.h"
#include "Simulation.h"

int main(int argc, char** argv) {
    using namespace KRSimulator;
    const char* program = argc > 0 ? argv[0] : "krmm_simulator";

    CommandLine command_line;
    std::string error;
    switch (ParseCommandLine(argc, argv, &command_line, &error)) {
        case ParseOutcome::kHelp:
            std::fputs(UsageText(program).c_str(), stdout);
            return 0;
        case ParseOutcome::kError:
            std::fprintf(stderr, "%s: %s\nRun '%s --help' for the options.\n", program,
                         error.c_str(), program);
            return 2;
        case ParseOutcome::kRun:
            break;
    }

    SimulationOptions& options = command_line.options;
    if (!command_line.quiet) {
        options.on_progress = [](const std::string& line) {
            std::fprintf(stderr, "%s\n", line.c_str());
        };
    }
    options.on_log_line = [](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
    };
    if (command_line.emulator_log) {
        // Emulator lines carry their own newline.
        options.on_emulator_line = [](const char* line) { std::fputs(line, stderr); };
    }

    SimulationSummary summary;
    if (!RunSimulation(options, &summary, &error)) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return 1;
    }
    const std::string report =
        command_line.json ? FormatSummaryJson(summary) : FormatSummaryText(summary);
    std::fputs(report.c_str(), stdout);
    return summary.safety_limit_hit ? 1 : 0;
}
