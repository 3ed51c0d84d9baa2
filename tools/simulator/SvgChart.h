#pragma once

// The frame, axes and round ticks of the HTML report's charts (inline SVG).

#include <ostream>
#include <string>
#include <vector>

namespace KRSimulator {

// An axis from 0 to max in ticks of step: step is 1, 2 or 5 times a power of
// ten and at least `least`, max the first multiple of it at or above the
// value shown (at least one step), so that ticks fall on round numbers. A
// step of 0 draws no ticks (a chart with nothing on it).
struct Axis {
    double step;
    double max;
};
Axis RoundAxis(double value, int most_ticks, double least);

// An axis that ends at value itself, with the round ticks of RoundAxis
// below it: for a quantity that has a natural end, such as the run's time.
Axis EndingAxis(double value, int most_ticks, double least);

// One chart, written as it is drawn: the constructor opens the <svg> with its
// frame, tick labels and axis titles; the destructor closes it.
class SvgChart {
public:
    SvgChart(std::ostream& out, const std::string& id, Axis x, Axis y, const std::string& x_title,
             const std::string& x_unit, const std::string& y_title);
    ~SvgChart();
    SvgChart(const SvgChart&) = delete;
    SvgChart& operator=(const SvgChart&) = delete;

    // Plot coordinates of a value on each axis.
    double X(double value) const;
    double Y(double value) const;
    // A row of coloured boxes with their names above the plot.
    void Legend(const std::vector<std::pair<std::string, std::string>>& classes_and_names);
    // A dashed line across the plot at x, labelled at its top, in the
    // given row of labels (0 for the first), so that close markers do not
    // write over each other.
    void Marker(double x, int row, const std::string& label);
    // Says why there is nothing to draw, in the middle of the plot, on as
    // many lines as it takes.
    void Empty(const std::string& why);

private:
    std::ostream& out_;
    Axis x_;
    Axis y_;
};

// Text safe inside HTML and XML.
std::string Escape(const std::string& text);

}  // namespace KRSimulator
