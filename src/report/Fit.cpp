#include "report/Fit.h"

#include <algorithm>
#include <cmath>

namespace orv::report {

FitSample::FitSample(std::optional<double> classThreshold) : threshold_(classThreshold) {}

void FitSample::Add(std::span<const double> targets, std::span<const double> outputs) {
    for (std::size_t i = 0; i < targets.size() && i < outputs.size(); ++i) {
        const double t = targets[i], o = outputs[i];
        ++records_;
        if (!std::isfinite(t) || !std::isfinite(o)) {
            ++unusable_;
        } else {
            absoluteSum_ += std::abs(o - t);
            if (t != 0) relativeSum_ += std::abs((o - t) / t), ++relative_;
            if (threshold_) ++classes_[t >= *threshold_][o >= *threshold_];
        }
        // A reservoir: record n replaces a kept one with chance kSize / n.
        if (points_.size() < kSize) {
            points_.push_back({t, o});
            continue;
        }
        random_ ^= random_ << 13, random_ ^= random_ >> 7, random_ ^= random_ << 17;
        const std::uint64_t pick = random_ % records_;
        if (pick < kSize) points_[pick] = {t, o};
    }
}

double FitSample::MeanAbsoluteError() const {
    const auto usable = records_ - unusable_;
    return usable ? absoluteSum_ / static_cast<double>(usable) : NAN;
}

double FitSample::MeanRelativeError() const { return relative_ ? 100 * relativeSum_ / static_cast<double>(relative_) : NAN; }

namespace {

// The central 99.8 % of values on round ticks: first tick, step and count of
// steps, at most `steps`.
struct Grid {
    double first = 0, step = 1;
    std::size_t steps = 1;
    std::size_t Cell(double v) const {
        const double at = std::floor((v - first) / step);
        return static_cast<std::size_t>(std::clamp(at, 0.0, static_cast<double>(steps - 1)));
    }
};

Grid GridOver(std::vector<double> values, std::size_t steps) {
    Grid g;
    if (values.empty()) return g;
    const auto lo = values.begin() + static_cast<std::ptrdiff_t>(static_cast<double>(values.size() - 1) * 0.001);
    const auto hi = values.begin() + static_cast<std::ptrdiff_t>(static_cast<double>(values.size() - 1) * 0.999);
    std::nth_element(values.begin(), lo, values.end());
    const double low = *lo;
    std::nth_element(lo, hi, values.end());
    const auto ticks = NiceTicks(low, *hi, static_cast<int>(steps) + 1);
    if (ticks.size() < 2) return g;
    g.first = ticks.front();
    g.step = ticks[1] - ticks[0];
    // Finer cells within the ticks: as many as asked for, in whole parts of a step.
    const auto perStep = std::max<std::size_t>(1, steps / (ticks.size() - 1));
    g.step /= static_cast<double>(perStep);
    g.steps = (ticks.size() - 1) * perStep;
    return g;
}

double Scale(const FitSample& fit) {
    const auto kept = fit.Points().size();
    return kept ? static_cast<double>(fit.Records()) / static_cast<double>(kept) : 1;
}

std::vector<Point> Usable(const FitSample& fit) {
    std::vector<Point> out;
    for (const Point& p : fit.Points())
        if (std::isfinite(p.x) && std::isfinite(p.y)) out.push_back(p);
    return out;
}

}  // namespace

Density BinPoints(const FitSample& fit, std::size_t nx, std::size_t ny) {
    const auto points = Usable(fit);
    std::vector<double> xs, ys;
    for (const Point& p : points) xs.push_back(p.x), ys.push_back(p.y);
    const Grid gx = GridOver(std::move(xs), nx), gy = GridOver(std::move(ys), ny);
    Density d{gx.first, gy.first, gx.step, gy.step, gx.steps, gy.steps, std::vector<double>(gx.steps * gy.steps)};
    const double scale = Scale(fit);
    for (const Point& p : points) d.counts[gy.Cell(p.y) * gx.steps + gx.Cell(p.x)] += scale;
    return d;
}

Bars ResidualBars(const FitSample& fit, std::size_t bins) {
    const auto points = Usable(fit);
    std::vector<double> residuals;
    for (const Point& p : points) residuals.push_back(p.y - p.x);
    const Grid g = GridOver(residuals, bins);
    Bars b{"records", "#6b8fc7", g.first, g.step, std::vector<double>(g.steps)};
    const double scale = Scale(fit);
    for (const double r : residuals) b.heights[g.Cell(r)] += scale;
    return b;
}

}  // namespace orv::report
