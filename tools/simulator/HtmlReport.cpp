#include "HtmlReport.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "KRMatchmakingSystem.h"
#include "SummaryFormat.h"
#include "SvgChart.h"

namespace KRSimulator {

namespace {

std::string Seconds(uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
    return text;
}

// Why a chart of attempts that got somewhere has nothing to draw.
std::string NothingDrawn(const SimulationSummary& summary, const char* what) {
    std::string why = std::string("No attempt ") + what + " in this run";
    for (const std::string& warning : summary.warnings) {
        why += ": " + warning;
    }
    return why;
}

// Attempts by how long they took to get to one point, with the summary's
// p50 and p90 of the same waits marked.
void Histogram(std::ostream& out, const SimulationSummary& summary, const char* id, Wait wait,
               const Percentiles& figures, const char* not_reached) {
    std::vector<uint32_t> waits;
    for (const Attempt& attempt : summary.attempts) {
        const int64_t ms = WaitOf(attempt, wait);
        if (ms >= 0) {
            waits.push_back(static_cast<uint32_t>(ms));
        }
    }
    if (waits.empty()) {
        SvgChart chart(out, id, Axis{0, 1}, Axis{0, 1}, "seconds from joining", "", "attempts");
        chart.Empty(NothingDrawn(summary, not_reached));
        return;
    }
    const uint32_t longest = *std::max_element(waits.begin(), waits.end());
    const Axis x = RoundAxis(longest / 1000.0, 10, 0.1);
    // Five bins a tick, so that bins end on round times.
    const double bin_s = x.step / 5.0;
    const std::size_t bins = static_cast<std::size_t>(x.max / bin_s + 0.5);
    std::vector<uint32_t> counts(bins, 0);
    for (uint32_t ms : waits) {
        ++counts[std::min(bins - 1, static_cast<std::size_t>(ms / 1000.0 / bin_s))];
    }
    const uint32_t tallest = *std::max_element(counts.begin(), counts.end());
    char bin_text[32];
    std::snprintf(bin_text, sizeof bin_text, "%g", bin_s);
    // Headroom above the tallest bar for the markers' labels.
    SvgChart chart(out, id, x, RoundAxis(tallest * 1.15, 5, 1.0),
                   std::string("seconds from joining (") + bin_text + " s bins)", "s", "attempts");
    for (std::size_t bin = 0; bin < bins; ++bin) {
        if (counts[bin] == 0) {
            continue;
        }
        char bar[200];
        std::snprintf(bar, sizeof bar,
                      "<rect class=\"bar\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\">",
                      chart.X(bin * bin_s), chart.Y(counts[bin]),
                      chart.X((bin + 1) * bin_s) - chart.X(bin * bin_s),
                      chart.Y(0) - chart.Y(counts[bin]));
        std::snprintf(bin_text, sizeof bin_text, "%g to %g s", bin * bin_s, (bin + 1) * bin_s);
        out << bar << "<title>" << counts[bin] << " attempts, " << bin_text << "</title></rect>\n";
    }
    chart.Marker(figures.p50 / 1000.0, 0, "p50 " + Seconds(figures.p50));
    chart.Marker(figures.p90 / 1000.0, 1, "p90 " + Seconds(figures.p90));
}

// Where a player stands in the timeline, bottom to top.
enum TimelineGroup {
    kInGame,
    kGaveUp,
    kWindingDown,
    kLeftWaiting,
    kAccepted,
    kMatched,
    kSearching,
    kWaitingToJoin,
    kGroups
};
const char* const kGroupNames[kGroups] = {
    "in a started game", "gave up", "winding down", "waiting on a failed leader",
    "accepted",          "matched", "searching",    "waiting to join"};

TimelineGroup GroupOf(int32_t state, bool last_attempt) {
    switch (state) {
        case MMS_REQUEST_TICKET:
        case MMS_INITIAL_KEEPALIVE:
        case MMS_INITIAL_WAITING:
        case MMS_MATCHING:
            return kSearching;
        case MMS_MATCHED:
        case MMS_ACCEPT_MATCH:
            return kMatched;
        case MMS_ACCEPTED_LEADER:
        case MMS_ACCEPTED_FOLLOWER:
        case MMS_MATCH_STARTED_WAIT:
            return kAccepted;
        case MMS_MATCH_STARTED:
            return kInGame;
        case MMS_IDLE:
            // Idle between attempts it thinks about joining again.
            return last_attempt ? kGaveUp : kWaitingToJoin;
        default:
            return kWindingDown;
    }
}

void Timeline(std::ostream& out, const SimulationSummary& summary) {
    constexpr int kSamples = 240;
    const uint32_t end_ms = std::max<uint32_t>(summary.run_time_ms, 1);
    // Followers left waiting by their leader change group without a state
    // change of their own.
    std::vector<std::pair<int64_t, uint32_t>> left;  // since when, player
    for (const Attempt& attempt : summary.attempts) {
        if (attempt.left_waiting_ms >= 0) {
            left.emplace_back(attempt.left_waiting_ms, attempt.player);
        }
    }
    std::sort(left.begin(), left.end());
    std::vector<TimelineGroup> group(summary.players, kWaitingToJoin);
    std::array<uint32_t, kGroups> now{};
    now[kWaitingToJoin] = summary.players;
    const auto move = [&](uint32_t player, TimelineGroup to) {
        --now[group[player]];
        group[player] = to;
        ++now[to];
    };
    std::vector<std::array<uint32_t, kGroups>> samples;
    std::size_t next = 0;
    std::size_t next_left = 0;
    for (int i = 0; i <= kSamples; ++i) {
        const uint64_t at_ms = static_cast<uint64_t>(end_ms) * i / kSamples;
        while (true) {
            const bool event = next < summary.events.size() && summary.events[next].ms <= at_ms;
            const bool leaving =
                next_left < left.size() && static_cast<uint64_t>(left[next_left].first) <= at_ms;
            if (leaving && (!event || left[next_left].first <= summary.events[next].ms)) {
                const uint32_t player = left[next_left++].second;
                if (group[player] == kAccepted) {
                    move(player, kLeftWaiting);
                }
            } else if (event) {
                const StateEvent& e = summary.events[next++];
                // A player stays in its game once it started: it plays no more.
                if (group[e.player] != kInGame) {
                    const bool last = e.attempt == summary.player_results[e.player].attempts;
                    move(e.player, GroupOf(e.state, last));
                }
            } else {
                break;
            }
        }
        samples.push_back(now);
    }
    SvgChart chart(out, "timeline", EndingAxis(end_ms / 1000.0, 10, 0.1),
                   EndingAxis(summary.players, 5, 1.0), "run time", "s", "players");
    for (int g = 0; g < kGroups; ++g) {
        std::string upper;
        std::string lower;
        char point[48];
        for (int i = 0; i <= kSamples; ++i) {
            uint32_t below = 0;
            for (int h = 0; h < g; ++h) {
                below += samples[i][h];
            }
            const double x = chart.X(end_ms / 1000.0 * i / kSamples);
            std::snprintf(point, sizeof point, "%.1f,%.1f ", x, chart.Y(below + samples[i][g]));
            upper += point;
            std::snprintf(point, sizeof point, "%.1f,%.1f ", x, chart.Y(below));
            lower = point + lower;
        }
        out << "<polygon class=\"g" << g << "\" points=\"" << upper << lower << "\"><title>"
            << kGroupNames[g] << "</title></polygon>\n";
    }
    std::vector<std::pair<std::string, std::string>> legend;
    for (int g = 0; g < kGroups; ++g) {
        legend.emplace_back("g" + std::to_string(g), kGroupNames[g]);
    }
    chart.Legend(legend);
}

uint32_t CountOf(const std::map<std::string, uint32_t>& counts, const std::string& name) {
    const auto found = counts.find(name);
    return found != counts.end() ? found->second : 0u;
}

void ErrorTable(std::ostream& out, const SimulationSummary& summary) {
    out << "<table id=\"errors\">\n<tr><th>error</th><th>ended the attempt</th>"
           "<th>attempt went on</th><th>after it had ended</th></tr>\n";
    // Every raised error is in errors, each name once and in order.
    for (const auto& error : summary.errors) {
        const std::string& name = error.first;
        out << "<tr><td>" << Escape(name) << "</td><td>" << CountOf(summary.errors_ended, name)
            << "</td><td>" << CountOf(summary.errors_went_on, name) << "</td><td>"
            << CountOf(summary.errors_after_end, name) << "</td></tr>\n";
    }
    if (summary.errors.empty()) {
        out << "<tr><td>none</td><td>0</td><td>0</td><td>0</td></tr>\n";
    }
    const RecoveryCounts& r = summary.recoveries;
    out << "</table>\n<p>Recovery from 400/504 answers: " << r.opened
        << " windows opened: " << r.recovered << " recovered, " << r.gave_up << " gave up, "
        << r.cut_short << " cut short by the attempt's end.</p>\n<table id=\"faults\">\n"
        << "<tr><th>fault injected</th><th>requests</th></tr>\n";
    for (const auto& entry : summary.faults_injected) {
        out << "<tr><td>" << Escape(entry.first) << "</td><td>" << entry.second << "</td></tr>\n";
    }
    if (summary.faults_injected.empty()) {
        out << "<tr><td>none</td><td>0</td></tr>\n";
    }
    out << "</table>\n";
}

}  // namespace

void WriteHtmlReport(const SimulationSummary& summary, std::ostream& out) {
    out << "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
           "<meta charset=\"utf-8\"/>\n<title>Matchmaking simulation, seed "
        << summary.seed
        << "</title>\n<style>\n"
           "body{font-family:sans-serif;margin:24px;color:#222}\n"
           "table{border-collapse:collapse}td,th{border:1px solid #bbb;padding:2px 8px;"
           "text-align:right}td:first-child,th:first-child{text-align:left}\n"
           ".frame{fill:none;stroke:#888}.grid{stroke:#eee}.tick{font-size:11px;fill:#444}"
           ".label{font-size:12px;fill:#222}.empty{font-size:14px;fill:#777}\n"
           ".bar{fill:#4a7fc1}.marker{stroke:#c0392b;stroke-dasharray:4 3}"
           ".marker-label{font-size:11px;fill:#c0392b;paint-order:stroke;stroke:#fff;"
           "stroke-width:3px}\n"
           ".g0{fill:#5cb85c}.g1{fill:#d9534f}.g2{fill:#f0a6a6}.g3{fill:#9b59b6}"
           ".g4{fill:#9ed79e}.g5{fill:#f2c14e}.g6{fill:#8fb6e8}.g7{fill:#dddddd}\n"
           "pre{background:#f4f4f4;padding:8px;font-size:12px}\n"
           "</style>\n</head>\n<body>\n<h1>Matchmaking simulation</h1>\n<p>"
        << summary.players << " players, hopper " << Escape(summary.hopper_id) << " (match size "
        << summary.match_size << "), seed " << summary.seed << ", requeue up to " << summary.requeue
        << ", keep-alive every " << summary.heartbeat_ms / 1000.0
        << " s, backend faults: " << (summary.faults.empty() ? "none" : "");
    for (std::size_t i = 0; i < summary.faults.size(); ++i) {
        out << (i == 0 ? "" : ", ") << Escape(summary.faults[i]);
    }
    out << ".</p>\n";
    if (!summary.keepalive_note.empty()) {
        out << "<p><b>Note:</b> " << Escape(summary.keepalive_note) << ".</p>\n";
    }
    const WaitFigures& all = summary.waits.front();
    out << "<h2>Time to match</h2>\n";
    Histogram(out, summary, "to-match", Wait::kToMatch, all.to_match, "was matched");
    out << "<h2>Time to accept (everyone in the match accepted)</h2>\n";
    Histogram(out, summary, "to-accept", Wait::kToAccept, all.to_accept,
              "had its match accepted by everyone");
    out << "<h2>Time to start</h2>\n";
    Histogram(out, summary, "to-start", Wait::kToStart, all.to_start, "reached a started match");
    out << "<h2>Players over run time</h2>\n";
    Timeline(out, summary);
    out << "<h2>Errors and faults</h2>\n";
    ErrorTable(out, summary);
    out << "<h2>Summary</h2>\n<pre id=\"summary\">" << Escape(FormatSummaryText(summary))
        << "</pre>\n</body>\n</html>\n";
}

}  // namespace KRSimulator
