// Charts as inline SVG: line and marker charts with axes, ticks and a legend,
// a strip of hits and misses, and expression trees. Every text placed in a
// chart is HTML-escaped here, so callers hand over plain UTF-8.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orv::report {

struct Point {
    double x;
    double y;
};

enum class SeriesStyle { Line, Markers, LineAndMarkers, Steps };

struct Series {
    std::string name;
    std::string color;  // a CSS colour, e.g. "#1f6fd1"
    SeriesStyle style = SeriesStyle::Line;
    std::vector<Point> points;  // points with a non-finite coordinate break the line
};

// A dashed horizontal line with its own legend entry (a threshold, a maximum).
struct Reference {
    std::string name;
    double y;
};

// Counts binned on a grid of nx by ny cells from (x0, y0), each dx by dy,
// row by row from the bottom; a cell is shaded darker the more it holds.
struct Density {
    double x0 = 0, y0 = 0, dx = 1, dy = 1;
    std::size_t nx = 0, ny = 0;
    std::vector<double> counts;
};

// Bars of equal width side by side from x0, as a histogram draws them.
struct Bars {
    std::string name;
    std::string color;
    double x0 = 0, width = 1;
    std::vector<double> heights;
};

struct Chart {
    std::string title;
    std::string xLabel;
    std::string yLabel;
    std::vector<Series> series;
    std::optional<Reference> reference;
    bool integerX = false;  // record numbers, generations: no fractional ticks
    double width = 760;     // of the whole chart; narrower ones sit two in a row
    bool diagonal = false;  // the line y = x, where model output equals target
    std::optional<Density> density = std::nullopt;
    std::optional<Bars> bars = std::nullopt;
};

// Round tick values covering [lo, hi]: steps of 1, 2, 2.5 or 5 times a power
// of ten, at most about maxTicks of them, the first at or below lo and the
// last at or above hi; no step below minStep. Empty when the range is not
// finite.
std::vector<double> NiceTicks(double lo, double hi, int maxTicks, double minStep = 0);

// A tick's label, with as many digits as the step needs: plain up to
// thousands, then with "k", "M", "G" or "T" ("2.5M", "400M"), and as a power
// of ten ("4×10¹⁵", "2×10⁻⁵") beyond.
std::string TickLabel(double value, double step);

// The chart as an <svg> element, its width by 300 units, scaling down to its box.
std::string ChartSvg(const Chart& chart);

// One row of cells per data set, green for a hit and red for a miss.
struct HitRow {
    std::string name;
    std::vector<bool> hits;
};
std::string HitStripSvg(const std::vector<HitRow>& rows);

// A node of an expression tree: its label and the indexes of its children.
struct TreeNode {
    std::string label;
    std::vector<std::size_t> children;
};

// The tree rooted at nodes[0], leaves side by side and each function centred
// over its arguments. Trees wider or deeper than a page shows give no picture
// (empty text).
std::string TreeSvg(const std::vector<TreeNode>& nodes);

}  // namespace orv::report
