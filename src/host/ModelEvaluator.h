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

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
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

// RSquare's sums, fed a few rows at a time in record order: RSquare of all
// the rows fed, to the last bit, without holding them.
class RSquareSum {
public:
    void Add(std::span<const double> targets, std::span<const double> outputs);
    std::optional<double> Value();

private:
    static constexpr std::size_t kBatch = 256;
    void Merge();
    std::array<double, kBatch> targets_{}, outputs_{};
    std::size_t held_ = 0, count_ = 0;
    double meanT_ = 0, meanO_ = 0, st_ = 0, so_ = 0, sto_ = 0;
    bool finite_ = true;
};

// A decoded model made ready to compute many records at once, each step of
// a gene on a whole batch, to the same values as EvaluateModel.
class ModelProgram {
public:
    static constexpr std::size_t kBatch = 256;

    explicit ModelProgram(const ModelTree& model);
    // The outputs of at most kBatch records whose independent variables are
    // the columns (column v holds dv of each record). False, computing
    // nothing, for what EvaluateModel would refuse: a symbol without a
    // computation, a gene cut short, a terminal beyond the columns.
    bool Run(std::span<const double* const> columns, std::size_t n, double* out);

private:
    struct Step {
        void (*apply)(const double*, const double*, double*, std::size_t) = nullptr;  // null for a terminal
        std::size_t first = 0, second = 0;  // argument nodes; kMissingNode for none
        std::size_t terminal = 0;
    };
    bool runnable_ = true;
    std::size_t columnsNeeded_ = 0;
    void (*link_)(const double*, const double*, double*, std::size_t) = nullptr;
    std::vector<std::vector<Step>> genes_;
    std::vector<double> scratch_;         // kBatch values per step of the longest gene
    std::vector<const double*> values_;   // where each step's values are
};

// The model's outputs on the records of a data text read as a data set reads
// its file (DataText.h), with namesLine first when the text has field names:
// use gets the targets and outputs of some records at a time, in record
// order, on the calling thread. Pieces of the text are read and computed on
// two threads. Returns the records read; raises what the reading or the
// computation would, the reading's errors first, once use has had the
// outputs before the failing record. eachLine, when given, tells whether the
// records were the text's lines split at line feeds alone, less the blank
// ones: no line of the text went to the names, and none ended at a carriage
// return without a line feed.
using FitUse = std::function<void(std::span<const double> targets, std::span<const double> outputs)>;
std::size_t FitOnText(const ModelTree& model, std::string_view text, bool names, std::string_view namesLine,
                      std::string_view separator, std::string_view decimal, const FitUse& use,
                      bool* eachLine = nullptr);

// R-square of the model on the records of a data text read as a data set
// reads its file (DataText.h), with namesLine first when the text has field
// names; records tells how many there were. Pieces of the text are read and
// computed on two threads. Raises what the reading or the computation
// would, the reading's errors first.
std::optional<double> RSquareOnText(const ModelTree& model, std::string_view text, bool names,
                                    std::string_view namesLine, std::string_view separator,
                                    std::string_view decimal, std::size_t& records);

}  // namespace orv::refhost
