#include "HtmlReport.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "KRMatchmakingSystem.h"
#include "SummaryFormat.h"

namespace KRSimulator {

namespace {

constexpr int kWidth = 960;
constexpr int kHeight = 300;
constexpr int kLeft = 60;
constexpr int kRight = 20;
constexpr int kTop = 30;  // room for the legend above the plot
constexpr int kBottom = 40;
constexpr int kPlotWidth = kWidth - kLeft - kRight;
constexpr int kPlotHeight = kHeight - kTop - kBottom;

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Format(const char* format, double a, double b = 0, double c = 0, double d = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

// Frame, y ticks at 0, half and full, and the x axis label.
void Axes(std::ostream& out, double y_max, const std::string& x_label, const std::string& y_label) {
    out << "<rect x=\"" << kLeft << "\" y=\"" << kTop << "\" width=\"" << kPlotWidth
        << "\" height=\"" << kPlotHeight << "\" class=\"frame\"/>\n";
    for (int i = 0; i <= 2; ++i) {
        const double y = kTop + kPlotHeight - kPlotHeight * i / 2.0;
        out << Format(
            "<text x=\"%.0f\" y=\"%.1f\" class=\"tick\" text-anchor=\"end\">%.0f</text>\n",
            kLeft - 6, y + 4, y_max * i / 2.0);
    }
    out << "<text x=\"" << kLeft + kPlotWidth / 2 << "\" y=\"" << kHeight - 6
        << "\" text-anchor=\"middle\" class=\"label\">" << Escape(x_label) << "</text>\n"
        << "<text x=\"14\" y=\"" << kTop + kPlotHeight / 2
        << "\" class=\"label\" transform=\"rotate(-90 14 " << kTop + kPlotHeight / 2
        << ")\" text-anchor=\"middle\">" << Escape(y_label) << "</text>\n";
}

void XTicks(std::ostream& out, double x_max_s) {
    for (int i = 0; i <= 4; ++i) {
        out << Format(
            "<text x=\"%.1f\" y=\"%.0f\" class=\"tick\" text-anchor=\"middle\">%.0fs</text>\n",
            kLeft + kPlotWidth * i / 4.0, kTop + kPlotHeight + 16, x_max_s * i / 4.0);
    }
}

void Histogram(std::ostream& out, const SimulationSummary& summary) {
    std::vector<uint32_t> to_match;
    std::vector<uint32_t> to_start;
    uint32_t longest = 0;
    for (const Attempt& attempt : summary.attempts) {
        if (attempt.matched_ms >= 0) {
            to_match.push_back(static_cast<uint32_t>(attempt.matched_ms - attempt.joined_ms));
            longest = std::max(longest, to_match.back());
        }
        if (attempt.started()) {
            to_start.push_back(static_cast<uint32_t>(attempt.started_ms - attempt.joined_ms));
            longest = std::max(longest, to_start.back());
        }
    }
    constexpr int kBins = 40;
    // Whole seconds per bin, so that keep-alive steps fall on bin edges.
    const uint32_t bin_ms = std::max<uint32_t>(1000, (longest / kBins / 1000 + 1) * 1000);
    std::array<std::vector<uint32_t>, 2> counts{std::vector<uint32_t>(kBins + 1, 0),
                                                std::vector<uint32_t>(kBins + 1, 0)};
    for (uint32_t ms : to_match) {
        ++counts[0][std::min<uint32_t>(ms / bin_ms, kBins)];
    }
    for (uint32_t ms : to_start) {
        ++counts[1][std::min<uint32_t>(ms / bin_ms, kBins)];
    }
    uint32_t tallest = 1;
    for (const auto& series : counts) {
        tallest = std::max(tallest, *std::max_element(series.begin(), series.end()));
    }
    out << "<svg id=\"histogram\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth
        << "\" height=\"" << kHeight << "\" viewBox=\"0 0 " << kWidth << " " << kHeight << "\">\n";
    Axes(out, tallest, "seconds from joining (" + std::to_string(bin_ms / 1000) + " s bins)",
         "attempts");
    const double bar = kPlotWidth / static_cast<double>(kBins + 1) / 2.0;
    static const char* const kClasses[] = {"match", "start"};
    for (int series = 0; series < 2; ++series) {
        for (int bin = 0; bin <= kBins; ++bin) {
            const uint32_t count = counts[series][bin];
            if (count == 0) {
                continue;
            }
            const double height = kPlotHeight * count / static_cast<double>(tallest);
            out << "<rect class=\"" << kClasses[series] << "\""
                << Format(" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\">",
                          kLeft + (2 * bin + series) * bar, kTop + kPlotHeight - height, bar,
                          height)
                << "<title>" << count << (series == 0 ? " matched" : " started") << " within "
                << (bin + 1) * bin_ms / 1000 << " s</title></rect>\n";
        }
    }
    XTicks(out, (kBins + 1) * bin_ms / 1000.0);
    out << "<rect x=\"" << kLeft << "\" y=\"6\" width=\"12\" height=\"12\" class=\"match\"/>"
        << "<text x=\"" << kLeft + 16 << "\" y=\"16\" class=\"tick\">time to match</text>\n"
        << "<rect x=\"" << kLeft + 110 << "\" y=\"6\" width=\"12\" height=\"12\" class=\"start\"/>"
        << "<text x=\"" << kLeft + 126
        << "\" y=\"16\" class=\"tick\">time to start</text>\n</svg>\n";
}

// State groups of the timeline, bottom to top.
constexpr int kGroups = 5;
const char* const kGroupNames[kGroups] = {"searching", "matched", "accepted", "restarting", "idle"};
int GroupOf(int32_t state) {
    if (state >= MMS_REQUEST_TICKET && state <= MMS_MATCHING) {
        return 0;
    }
    if (state == MMS_MATCHED || state == MMS_ACCEPT_MATCH) {
        return 1;
    }
    if (state >= MMS_ACCEPTED_LEADER && state <= MMS_MATCH_STARTED_WAIT) {
        return 2;
    }
    return state == MMS_IDLE ? 4 : 3;
}

void Timeline(std::ostream& out, const SimulationSummary& summary) {
    constexpr int kSamples = 240;
    const uint32_t end_ms = std::max<uint32_t>(summary.run_time_ms, 1);
    std::vector<int> group(summary.players, 4);
    std::array<uint32_t, kGroups> now{};
    now[4] = summary.players;
    std::vector<std::array<uint32_t, kGroups>> samples;
    std::size_t next = 0;
    for (int i = 0; i <= kSamples; ++i) {
        const uint64_t at_ms = static_cast<uint64_t>(end_ms) * i / kSamples;
        for (; next < summary.events.size() && summary.events[next].ms <= at_ms; ++next) {
            const StateEvent& event = summary.events[next];
            --now[group[event.player]];
            group[event.player] = GroupOf(event.state);
            ++now[group[event.player]];
        }
        samples.push_back(now);
    }
    const double players = std::max<uint32_t>(summary.players, 1);
    out << "<svg id=\"timeline\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth
        << "\" height=\"" << kHeight << "\" viewBox=\"0 0 " << kWidth << " " << kHeight << "\">\n";
    Axes(out, players, "run time", "players");
    for (int g = 0; g < kGroups; ++g) {
        std::string upper;
        std::string lower;
        for (int i = 0; i <= kSamples; ++i) {
            uint32_t below = 0;
            for (int h = 0; h < g; ++h) {
                below += samples[i][h];
            }
            const double x = kLeft + kPlotWidth * i / static_cast<double>(kSamples);
            const double y_low = kTop + kPlotHeight - kPlotHeight * below / players;
            const double y_high =
                kTop + kPlotHeight - kPlotHeight * (below + samples[i][g]) / players;
            upper += Format("%.1f,%.1f ", x, y_high);
            lower = Format("%.1f,%.1f ", x, y_low) + lower;
        }
        out << "<polygon class=\"g" << g << "\" points=\"" << upper << lower << "\"><title>"
            << kGroupNames[g] << "</title></polygon>\n";
    }
    for (int g = 0; g < kGroups; ++g) {
        out << "<rect x=\"" << kLeft + g * 110 << "\" y=\"6\" width=\"12\" height=\"12\" class=\"g"
            << g << "\"/><text x=\"" << kLeft + 16 + g * 110 << "\" y=\"16\" class=\"tick\">"
            << kGroupNames[g] << "</text>\n";
    }
    XTicks(out, end_ms / 1000.0);
    out << "</svg>\n";
}

void ErrorTable(std::ostream& out, const SimulationSummary& summary) {
    out << "<table id=\"errors\">\n<tr><th>error</th><th>ended the attempt</th>"
           "<th>attempt went on</th></tr>\n";
    const auto count = [](const std::map<std::string, uint32_t>& counts, const std::string& name) {
        const auto found = counts.find(name);
        return found != counts.end() ? found->second : 0u;
    };
    // Every raised error is in errors, each name once and in order.
    for (const auto& error : summary.errors) {
        const std::string& name = error.first;
        out << "<tr><td>" << Escape(name) << "</td><td>" << count(summary.errors_ended, name)
            << "</td><td>" << count(summary.errors_recovered, name) << "</td></tr>\n";
    }
    if (summary.errors.empty()) {
        out << "<tr><td>none</td><td>0</td><td>0</td></tr>\n";
    }
    out << "</table>\n<p>Recovery from 400/504 answers: " << summary.recoveries_started
        << " windows opened, " << summary.recoveries_succeeded << " recovered, "
        << summary.recoveries_failed << " gave up.</p>\n<table id=\"faults\">\n"
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
           ".frame{fill:none;stroke:#888}.tick{font-size:11px;fill:#444}"
           ".label{font-size:12px;fill:#222}\n"
           ".match{fill:#4a7fc1}.start{fill:#e08a2c}\n"
           ".g0{fill:#8fb6e8}.g1{fill:#f2c14e}.g2{fill:#7cc47c}.g3{fill:#e07b7b}"
           ".g4{fill:#dddddd}\n"
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
    out << "<h2>Time to match and to start</h2>\n";
    Histogram(out, summary);
    out << "<h2>Players by state over run time</h2>\n";
    Timeline(out, summary);
    out << "<h2>Errors and faults</h2>\n";
    ErrorTable(out, summary);
    out << "<h2>Summary</h2>\n<pre id=\"summary\">" << Escape(FormatSummaryText(summary))
        << "</pre>\n</body>\n</html>\n";
}

}  // namespace KRSimulator
