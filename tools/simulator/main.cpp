// krmm_simulator: a whole matchmaking session on the in-process emulator.
// Progress and log lines go to stderr, the summary to stdout, the optional
// files where the options say.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <list>
#include <sstream>
#include <string>

#include "CommandLine.h"
#include "CsvOutput.h"
#include "EventsOutput.h"
#include "HtmlReport.h"
#include "OutputFile.h"
#include "Simulation.h"
#include "SummaryFormat.h"

namespace {

using KRSimulator::SimulationSummary;

using Render = std::string (*)(const SimulationSummary& summary);

template <void (*Write)(const SimulationSummary&, std::ostream&)>
std::string Rendered(const SimulationSummary& summary) {
    std::ostringstream text;
    Write(summary, text);
    return text.str();
}

std::string RecordedScenario(const SimulationSummary& summary) {
    return summary.recorded_scenario;
}

// One output file of the command line and what goes into it.
struct Output {
    const char* option;
    std::string path;
    Render render;
    KRSimulator::OutputFile file;
};

// Two options naming one file would overwrite each other after the run.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::weakly_canonical(a, ec) == std::filesystem::weakly_canonical(b, ec);
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

    // Every file is opened before the run, which may take minutes.
    const struct {
        const char* option;
        const std::string& path;
        Render render;
    } wanted[] = {
        {"--csv", command_line.csv_file, &Rendered<WriteCsv>},
        {"--events", command_line.events_file, &Rendered<WriteEvents>},
        {"--report", command_line.report_file, &Rendered<WriteHtmlReport>},
        {"--record-player", command_line.record_file, &RecordedScenario},
    };
    std::list<Output> outputs;  // an open file does not move
    for (const auto& want : wanted) {
        if (want.path.empty()) {
            continue;
        }
        for (const Output& earlier : outputs) {
            if (SameFile(earlier.path, want.path)) {
                std::fprintf(stderr, "%s: %s and %s both name '%s'\n", program, earlier.option,
                             want.option, want.path.c_str());
                return 2;
            }
        }
        outputs.emplace_back();
        Output& output = outputs.back();
        output.option = want.option;
        output.path = want.path;
        output.render = want.render;
        if (!output.file.Open(output.path, &error)) {
            std::fprintf(stderr, "%s: %s: %s\n", program, want.option, error.c_str());
            return 1;
        }
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
    const std::string report = command_line.json
                                   ? FormatSummaryJson(summary, command_line.wall_time)
                                   : FormatSummaryText(summary);
    std::fputs(report.c_str(), stdout);
    bool written = true;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write the summary to standard output: %s\n", program,
                     std::strerror(errno));
        written = false;
    }
    for (Output& output : outputs) {
        if (!output.file.Commit(output.render(summary), &error)) {
            std::fprintf(stderr, "%s: %s: %s\n", program, output.option, error.c_str());
            written = false;
        }
    }
    for (const std::string& violation : summary.invariant_violations) {
        std::fprintf(stderr, "%s: end of run: %s\n", program, violation.c_str());
    }
    const bool held = summary.invariant_violations.empty() && !summary.safety_limit_hit;
    return held && written ? 0 : 1;
}
