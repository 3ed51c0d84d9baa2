#include "Report.h"

#include <cstdio>
#include <map>
#include <sstream>

namespace KRSimulator {

namespace {

std::string Seconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3fs", ms / 1000.0);
    return text;
}

std::string TimeLine(const TimeStats& stats) {
    if (stats.count == 0) {
        return "-";
    }
    return "min " + Seconds(stats.min_ms) + ", mean " + Seconds(stats.mean_ms) + ", max " +
           Seconds(stats.max_ms) + " (" + std::to_string(stats.count) + " players)";
}

std::string CountList(const std::map<std::string, uint32_t>& counts) {
    if (counts.empty()) {
        return "none";
    }
    std::string text;
    for (const auto& entry : counts) {
        text += (text.empty() ? "" : ", ") + entry.first + " " + std::to_string(entry.second);
    }
    return text;
}

// The names written here are identifiers and ids, but quote them properly
// anyway so that the output stays valid JSON whatever they hold.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string JsonCounts(const std::map<std::string, uint32_t>& counts) {
    std::string text = "{";
    for (const auto& entry : counts) {
        text += (text.size() > 1 ? "," : "") + JsonString(entry.first) + ":" +
                std::to_string(entry.second);
    }
    return text + "}";
}

std::string JsonTimes(const TimeStats& stats) {
    char text[128];
    std::snprintf(text, sizeof text, "{\"count\":%u,\"min\":%u,\"mean\":%.1f,\"max\":%u}",
                  stats.count, stats.min_ms, stats.mean_ms, stats.max_ms);
    return text;
}

}  // namespace

std::string FormatSummaryText(const SimulationSummary& summary) {
    std::ostringstream text;
    text << "Matchmaking simulation summary\n"
         << "  players            " << summary.players << " (" << CountList(summary.behaviours)
         << ")\n"
         << "  hopper             " << summary.hopper_id << " (match size " << summary.match_size
         << ")\n"
         << "  seed               " << summary.seed << "\n"
         << "  matches            " << summary.matches_found << " found, "
         << summary.matches_started << " started (" << summary.players_in_started_matches
         << " players)\n"
         << "  leaders/followers  " << summary.leaders << " / " << summary.followers << "\n"
         << "  time to match      " << TimeLine(summary.time_to_match) << "\n"
         << "  time to start      " << TimeLine(summary.time_to_start) << "\n"
         << "  errors             " << summary.total_errors();
    if (!summary.errors.empty()) {
        text << " (" << CountList(summary.errors) << ")";
    }
    text << "\n"
         << "  final states       " << CountList(summary.final_states) << "\n"
         << "  frames             " << summary.frames << " over " << Seconds(summary.run_time_ms)
         << " of run time, " << Seconds(summary.wall_ms) << " wall time\n"
         << "  emulator lines     " << summary.emulator_lines << "\n";
    if (summary.log_lines != 0) {
        text << "  log lines          " << summary.log_lines << "\n";
    }
    if (summary.safety_limit_hit) {
        text << "ERROR: safety limit of " << Seconds(summary.run_time_ms) << " reached with "
             << summary.players_still_active << " players not finished\n";
    }
    return text.str();
}

std::string FormatSummaryJson(const SimulationSummary& summary) {
    std::ostringstream text;
    char wall[32];
    std::snprintf(wall, sizeof wall, "%.3f", summary.wall_ms);
    text << "{\"players\":" << summary.players << ",\"hopper_id\":" << JsonString(summary.hopper_id)
         << ",\"match_size\":" << summary.match_size << ",\"seed\":" << summary.seed
         << ",\"behaviours\":" << JsonCounts(summary.behaviours)
         << ",\"matches_found\":" << summary.matches_found
         << ",\"matches_started\":" << summary.matches_started
         << ",\"players_in_started_matches\":" << summary.players_in_started_matches
         << ",\"leaders\":" << summary.leaders << ",\"followers\":" << summary.followers
         << ",\"time_to_match_ms\":" << JsonTimes(summary.time_to_match)
         << ",\"time_to_start_ms\":" << JsonTimes(summary.time_to_start)
         << ",\"errors\":" << JsonCounts(summary.errors)
         << ",\"final_states\":" << JsonCounts(summary.final_states)
         << ",\"frames\":" << summary.frames << ",\"run_time_ms\":" << summary.run_time_ms
         << ",\"wall_ms\":" << wall << ",\"emulator_lines\":" << summary.emulator_lines
         << ",\"log_lines\":" << summary.log_lines
         << ",\"players_still_active\":" << summary.players_still_active
         << ",\"safety_limit_hit\":" << (summary.safety_limit_hit ? "true" : "false") << "}\n";
    return text.str();
}

}  // namespace KRSimulator
