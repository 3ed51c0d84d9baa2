#include "SvgChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

// A tick value without trailing zeros: 0.5, 2, 150.
std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", std::round(value * 1000.0) / 1000.0);
    return text;
}

}  // namespace

Axis RoundAxis(double value, int most_ticks, double least) {
    const double raw = std::max(value, 0.0) / most_ticks;
    double step = least > 0.0 ? least : 1e-3;
    if (raw > step) {
        const double power = std::pow(10.0, std::floor(std::log10(raw)));
        step = power;
        for (double factor : {1.0, 2.0, 5.0, 10.0}) {
            if (power * factor >= raw) {
                step = std::max(power * factor, least);
                break;
            }
        }
    }
    const double steps = std::max(1.0, std::ceil(value / step - 1e-9));
    return Axis{step, steps * step};
}

Axis EndingAxis(double value, int most_ticks, double least) {
    const Axis round = RoundAxis(value, most_ticks, least);
    return Axis{round.step, value > 0.0 ? value : round.max};
}

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

SvgChart::SvgChart(std::ostream& out, const std::string& id, Axis x, Axis y,
                   const std::string& x_title, const std::string& x_unit,
                   const std::string& y_title)
    : out_(out), x_(x), y_(y) {
    out_ << "<svg id=\"" << id << "\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth
         << "\" height=\"" << kHeight << "\" viewBox=\"0 0 " << kWidth << " " << kHeight
         << "\">\n<rect x=\"" << kLeft << "\" y=\"" << kTop << "\" width=\"" << kPlotWidth
         << "\" height=\"" << kPlotHeight << "\" class=\"frame\"/>\n";
    char text[200];
    // Ticks up to the axis end; a little slack for steps like 0.1.
    const auto ticks = [](const Axis& axis) {
        return axis.step > 0.0 ? static_cast<int>(std::floor(axis.max / axis.step + 1e-6)) : -1;
    };
    const int y_ticks = ticks(y_);
    for (int i = 0; i <= y_ticks; ++i) {
        const double at = Y(i * y_.step);
        std::snprintf(text, sizeof text,
                      "<line x1=\"%d\" y1=\"%.1f\" x2=\"%d\" y2=\"%.1f\" class=\"grid\"/>"
                      "<text x=\"%d\" y=\"%.1f\" class=\"tick\" text-anchor=\"end\">",
                      kLeft, at, kLeft + kPlotWidth, at, kLeft - 6, at + 4);
        out_ << text << Number(i * y_.step) << "</text>\n";
    }
    const int x_ticks = ticks(x_);
    for (int i = 0; i <= x_ticks; ++i) {
        std::snprintf(text, sizeof text,
                      "<text x=\"%.1f\" y=\"%d\" class=\"tick\" text-anchor=\"middle\">",
                      X(i * x_.step), kTop + kPlotHeight + 16);
        out_ << text << Number(i * x_.step) << x_unit << "</text>\n";
    }
    out_ << "<text x=\"" << kLeft + kPlotWidth / 2 << "\" y=\"" << kHeight - 6
         << "\" text-anchor=\"middle\" class=\"label\">" << Escape(x_title) << "</text>\n"
         << "<text x=\"14\" y=\"" << kTop + kPlotHeight / 2
         << "\" class=\"label\" transform=\"rotate(-90 14 " << kTop + kPlotHeight / 2
         << ")\" text-anchor=\"middle\">" << Escape(y_title) << "</text>\n";
}

SvgChart::~SvgChart() {
    out_ << "</svg>\n";
}

double SvgChart::X(double value) const {
    return kLeft + kPlotWidth * value / x_.max;
}

double SvgChart::Y(double value) const {
    return kTop + kPlotHeight - kPlotHeight * value / y_.max;
}

void SvgChart::Legend(const std::vector<std::pair<std::string, std::string>>& classes_and_names) {
    double x = kLeft;
    for (const auto& entry : classes_and_names) {
        char box[160];
        std::snprintf(box, sizeof box,
                      "<rect x=\"%.0f\" y=\"6\" width=\"12\" height=\"12\" class=\"%s\"/>"
                      "<text x=\"%.0f\" y=\"16\" class=\"tick\">",
                      x, entry.first.c_str(), x + 16);
        out_ << box << Escape(entry.second) << "</text>\n";
        // About 6 px a character at the tick size.
        x += 16 + 6.0 * entry.second.size() + 18;
    }
}

void SvgChart::Marker(double x, int row, const std::string& label) {
    char line[240];
    std::snprintf(line, sizeof line,
                  "<line x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\" class=\"marker\"/>"
                  "<text x=\"%.1f\" y=\"%d\" class=\"marker-label\">",
                  X(x), kTop, X(x), kTop + kPlotHeight, X(x) + 3, kTop + 12 + 14 * row);
    out_ << line << Escape(label) << "</text>\n";
}

void SvgChart::Empty(const std::string& why) {
    // About 8 px a character at this size.
    constexpr std::size_t kLine = kPlotWidth / 8;
    std::vector<std::string> lines(1);
    std::size_t start = 0;
    while (start < why.size()) {
        std::size_t end = why.find(' ', start);
        end = end == std::string::npos ? why.size() : end;
        const std::string word = why.substr(start, end - start);
        if (!lines.back().empty() && lines.back().size() + 1 + word.size() > kLine) {
            lines.emplace_back();
        }
        lines.back() += (lines.back().empty() ? "" : " ") + word;
        start = end + 1;
    }
    const int first = kTop + kPlotHeight / 2 - static_cast<int>(lines.size() - 1) * 10;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out_ << "<text x=\"" << kLeft + kPlotWidth / 2 << "\" y=\"" << first + 20 * i
             << "\" class=\"empty\" text-anchor=\"middle\">" << Escape(lines[i]) << "</text>\n";
    }
}

}  // namespace KRSimulator
