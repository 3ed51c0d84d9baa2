#include <cstdio>
#include <map>
#include <sstream>

#include "SummaryFormat.h"

namespace KRSimulator {

namespace {

std::string Seconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1fs", ms / 1000.0);
    return text;
}

// "a 1, b 2", broken into lines of at most about 100 characters that go on
// at the given indent.
std::string CountList(const std::map<std::string, uint32_t>& counts, std::size_t indent = 21) {
    if (counts.empty()) {
        return "none";
    }
    std::string text;
    std::size_t line_length = indent;
    for (const auto& entry : counts) {
        const std::string item = entry.first + " " + std::to_string(entry.second);
        if (!text.empty()) {
            text += ",";
            if (line_length + item.size() + 2 > 100) {
                text += "\n" + std::string(indent, ' ');
                line_length = indent;
            } else {
                text += " ";
                line_length += 2;
            }
        }
        text += item;
        line_length += item.size();
    }
    return text;
}

// Words of text on lines of at most about 100 characters, each line after
// the first indented; the result starts with a blank.
std::string Wrapped(const std::string& text, std::size_t indent) {
    std::string out;
    std::size_t line_length = indent;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        if (line_length + word.size() + 1 > 100) {
            out += "\n" + std::string(indent - 1, ' ');
            line_length = indent - 1;
        }
        out += " " + word;
        line_length += word.size() + 1;
    }
    return out;
}

void PercentileRow(std::ostringstream& text, const std::string& label, const Percentiles& p) {
    char row[128];
    if (p.count == 0) {
        // An empty group has no waits; a 0.0 would read as "at once". The
        // en dash is three bytes of UTF-8 in one column.
        const char* dash = "\xe2\x80\x93";
        std::snprintf(row, sizeof row, "    %-16s %6u %9s %9s %9s %9s\n", label.c_str(), 0u, dash,
                      dash, dash, dash);
    } else {
        std::snprintf(row, sizeof row, "    %-16s %6u %7.1f %7.1f %7.1f %7.1f\n", label.c_str(),
                      p.count, p.p50 / 1000.0, p.p90 / 1000.0, p.p99 / 1000.0, p.max / 1000.0);
    }
    text << row;
}

void WaitTable(std::ostringstream& text, const char* title, const SimulationSummary& summary,
               Percentiles WaitFigures::*wait) {
    char header[128];
    std::snprintf(header, sizeof header, "  %-18s %6s %7s %7s %7s %7s\n", title, "count", "p50",
                  "p90", "p99", "max");
    text << header;
    for (const WaitFigures& group : summary.waits) {
        if ((group.*wait).count != 0 || group.group == "all") {
            PercentileRow(text, group.group, group.*wait);
        }
    }
}

}  // namespace

std::string FormatSummaryText(const SimulationSummary& s) {
    std::ostringstream text;
    text << "Matchmaking simulation summary\n"
         << "  players            " << s.players << " (" << CountList(s.behaviours) << "), "
         << s.attempts.size() << " attempts, requeue up to " << s.requeue << "\n"
         << "  hopper             " << s.hopper_id << " (match size " << s.match_size << ")\n"
         << "  seed               " << s.seed << "\n"
         << "  backend faults     ";
    if (s.faults.empty()) {
        text << "none\n";
    } else {
        for (std::size_t i = 0; i < s.faults.size(); ++i) {
            text << (i == 0 ? "" : i % 4 == 0 ? ",\n                     " : ", ") << s.faults[i];
        }
        text << "\n";
    }
    for (const std::string& warning : s.warnings) {
        text << "  WARNING            " << warning << "\n";
    }
    text << "  matches            " << s.matches_found << " found, " << s.matches_started
         << " started with " << s.players_in_started_matches << " players (";
    if (s.started_matches_missing_players == 0) {
        text << "none missing)\n";
    } else {
        text << s.players_missing_from_started_matches << " missing from "
             << s.started_matches_missing_players << " of them)\n";
    }
    text << "  leaders/followers  " << s.leaders << " / " << s.followers << " in started matches; "
         << s.leaders_not_started << " leaders' matches never started\n\n";

    WaitTable(text, "time to match (s)", s, &WaitFigures::to_match);
    WaitTable(text, "time to accept (s)", s, &WaitFigures::to_accept);
    WaitTable(text, "time to start (s)", s, &WaitFigures::to_start);
    if (s.followers_left_waiting.count != 0) {
        text << "  waiting on a leader whose start failed, from the leader's end (s)\n";
        PercentileRow(text, "followers", s.followers_left_waiting);
    }
    text << "  first join to start, accepting players (requeues included): "
         << s.accepting_players_started << " of " << s.accepting_players << " played\n";
    PercentileRow(text, "players", s.first_join_to_start);
    if (!s.keepalive_note.empty()) {
        text << "  NOTE:" << Wrapped(s.keepalive_note, 8) << "\n";
    }

    text << "\n  outcomes of attempts, by behaviour\n";
    for (const auto& behaviour : s.outcomes) {
        char label[32];
        std::snprintf(label, sizeof label, "    %-16s ", behaviour.first.c_str());
        text << label << CountList(behaviour.second) << "\n";
    }
    const RecoveryCounts& r = s.recoveries;
    text << "  errors             " << s.total_errors() << " raised\n"
         << "    ended the attempt    " << TotalOf(s.errors_ended) << ": "
         << CountList(s.errors_ended, 25) << "\n"
         << "    attempt went on      " << TotalOf(s.errors_went_on) << ": "
         << CountList(s.errors_went_on, 25) << "\n"
         << "    after it had ended   " << TotalOf(s.errors_after_end) << ": "
         << CountList(s.errors_after_end, 25) << "\n"
         << "  400/504 recovery   " << r.opened << " windows opened: " << r.recovered
         << " recovered, " << r.gave_up << " gave up, " << r.cut_short
         << " cut short by the attempt's end\n"
         << "  faults injected    " << s.total_faults() << " (" << CountList(s.faults_injected)
         << ")\n"
         << "  final states       " << CountList(s.final_states) << "\n"
         << "  frames             " << s.frames << " over " << Seconds(s.run_time_ms)
         << " of run time, " << Seconds(s.wall_ms) << " wall time\n"
         << "  emulator lines     " << s.emulator_lines << "\n";
    if (s.log_lines != 0) {
        text << "  log lines          " << s.log_lines << "\n";
    }
    if (s.safety_limit_hit) {
        text << "ERROR: safety limit of " << Seconds(s.run_time_ms) << " reached with "
             << s.players_still_active << " players not finished\n";
    }
    if (s.invariant_violations.empty()) {
        text << "  end of run         every player in MMS_IDLE, no backend task, response or "
                "JSON value alive\n";
    }
    for (const std::string& violation : s.invariant_violations) {
        text << "ERROR: end of run: " << violation << "\n";
    }
    return text.str();
}

}  // namespace KRSimulator
