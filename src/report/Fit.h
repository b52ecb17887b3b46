// What a report keeps of a model's outputs on a data set, fed a few records
// at a time in record order: counts and error sums over every record, every
// record while there are few, and a uniform sample of a bounded size beyond
// that, so that the charts of a run of millions of records take little
// memory and a page of some kilobytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "report/Svg.h"

namespace orv::report {

class FitSample {
public:
    static constexpr std::size_t kSize = 20000;

    explicit FitSample(std::optional<double> classThreshold = {});
    void Add(std::span<const double> targets, std::span<const double> outputs);

    std::size_t Records() const { return records_; }
    // Records whose output or target is not a finite number.
    std::size_t Unusable() const { return unusable_; }
    // (target, output) of every record in order while Complete(), else of
    // kSize records picked at random.
    const std::vector<Point>& Points() const { return points_; }
    bool Complete() const { return records_ <= kSize; }
    // Means over the usable records; the relative error over those with a
    // target other than 0, as a percentage. Not finite when there are none.
    double MeanAbsoluteError() const;
    double MeanRelativeError() const;
    // For a classification run: [target class][output class], 1 at or above
    // the threshold.
    const std::array<std::array<std::size_t, 2>, 2>& Classes() const { return classes_; }

private:
    std::optional<double> threshold_;
    std::size_t records_ = 0, unusable_ = 0, relative_ = 0;
    double absoluteSum_ = 0, relativeSum_ = 0;
    std::array<std::array<std::size_t, 2>, 2> classes_{};
    std::vector<Point> points_;
    std::uint64_t random_ = 0x9e3779b97f4a7c15u;
};

// The sample's usable points binned on a grid over the central 99.8 % of
// each coordinate, rounded out to nice ticks; points beyond it land in the
// edge cells. Counts are scaled to the records the sample stands for.
Density BinPoints(const FitSample& fit, std::size_t nx, std::size_t ny);

// A histogram of output minus target over the central 99.8 % of the
// sample's residuals, in nice steps, scaled as BinPoints scales.
Bars ResidualBars(const FitSample& fit, std::size_t bins);

}  // namespace orv::report
