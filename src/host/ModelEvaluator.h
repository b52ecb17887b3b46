// Computing a decoded best model (Karva.h) on rows of data, and how well it
// fits them.
//
//   const ModelTree model = DecodeModel(run.Karva(), run.LinkingFunction());
//   double y = EvaluateModel(model, terminals);       // terminals: d0, d1, ...
//   Fit fit = FitOn(model, hostRun.Data(1));          // every record of a data set
//   std::optional<double> r2 = RSquare(fit.targets, fit.outputs);
//
// Functions compute as C's <math.h> does: a division by zero, the root or
// logarithm of a negative number give infinities and NaNs, not errors.
// Errors raised: 5006 "Invalid character: X" for a symbol the catalogue
// lacks (as the conversion does), 13 for a terminal "d" without a number,
// 9 for a terminal beyond the row or a gene that ends before its expression.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "host/Karva.h"

namespace orv::refhost {

class DataSet;

// The value of one gene on the independent variables of one row.
double EvaluateGene(const GeneTree& gene, std::span<const double> terminals);

// The genes' values linked first to last by the linking function. A model
// without genes raises 5 (nothing to compute).
double EvaluateModel(const ModelTree& model, std::span<const double> terminals);

// Targets (each record's last field) and model outputs (on the fields
// before it) for every record of a data set, in record order.
struct Fit {
    std::vector<double> targets;
    std::vector<double> outputs;
};
Fit FitOn(const ModelTree& model, const DataSet& data);

// The square of the correlation coefficient of targets and outputs. None
// when it is undefined: fewer than two rows, an output or target that is not
// finite, or either side constant.
std::optional<double> RSquare(std::span<const double> targets, std::span<const double> outputs);

}  // namespace orv::refhost
