// krmm_simulator: a whole matchmaking session on the in-process emulator.
// Progress and log lines go to stderr, the summary to stdout, the optional
// files where the options say.

#include <cstdio>
#include <fstream>
#include <string>

#include "CommandLine.h"
#include "CsvOutput.h"
#include "EventsOutput.h"
#include "HtmlReport.h"
#include "Simulation.h"
#include "SummaryFormat.h"

namespace {

using KRSimulator::SimulationSummary;

// Writes one output file; false (with a message) when it cannot.
bool WriteFile(const char* program, const std::string& path, const SimulationSummary& summary,
               void (*write)(const SimulationSummary&, std::ostream&)) {
    if (path.empty()) {
        return true;
    }
    std::ofstream out(path, std::ios::binary);
    if (out) {
        write(summary, out);
        out.flush();
    }
    if (!out) {
        std::fprintf(stderr, "%s: cannot write '%s'\n", program, path.c_str());
        return false;
    }
    return true;
}

}  // namespace

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
    for (const std::string& warning : OptionWarnings(options)) {
        std::fprintf(stderr, "%s: warning: %s\n", program, warning.c_str());
    }
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
    bool written = WriteFile(program, command_line.csv_file, summary, &WriteCsv);
    written &= WriteFile(program, command_line.events_file, summary, &WriteEvents);
    written &= WriteFile(program, command_line.report_file, summary, &WriteHtmlReport);
    if (!summary.recording_error.empty()) {
        std::fprintf(stderr, "%s: %s\n", program, summary.recording_error.c_str());
        written = false;
    }
    for (const std::string& violation : summary.invariant_violations) {
        std::fprintf(stderr, "%s: end of run: %s\n", program, violation.c_str());
    }
    const bool held = summary.invariant_violations.empty() && !summary.safety_limit_hit;
    return held && written ? 0 : 1;
}
