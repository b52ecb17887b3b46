#include "host/ModelEvaluator.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "adapter/V2Adapter.h"
#include "common/ComError.h"
#include "common/PairedWork.h"
#include "host/DataText.h"
#include "host/ReferenceHost.h"

namespace orv::refhost {
namespace {

using Operation = double (*)(double, double);  // unary functions ignore the second argument

// What each native function computes, by catalogue key, in one list that
// both the evaluation of one row and that of a batch of rows (ModelProgram)
// apply. The generated code's templates (NativeCatalogue.cpp) must compute
// the same.
enum class Op { Add, Sub, Mul, Div, Pow, Avg2, Sqrt, Exp, Ln, Sin, Cos, Tan, Min2, Max2, Abs, LT, GT };

template <Op op>
inline double Apply(double a, double b) {
    if constexpr (op == Op::Add) return a + b;
    else if constexpr (op == Op::Sub) return a - b;
    else if constexpr (op == Op::Mul) return a * b;
    else if constexpr (op == Op::Div) return a / b;
    else if constexpr (op == Op::Pow) return std::pow(a, b);
    else if constexpr (op == Op::Avg2) return (a + b) / 2;
    else if constexpr (op == Op::Sqrt) return std::sqrt(a);
    else if constexpr (op == Op::Exp) return std::exp(a);
    else if constexpr (op == Op::Ln) return std::log(a);
    else if constexpr (op == Op::Sin) return std::sin(a);
    else if constexpr (op == Op::Cos) return std::cos(a);
    else if constexpr (op == Op::Tan) return std::tan(a);
    else if constexpr (op == Op::Min2) return std::fmin(a, b);
    else if constexpr (op == Op::Max2) return std::fmax(a, b);
    else if constexpr (op == Op::Abs) return std::fabs(a);
    else if constexpr (op == Op::LT) return a < b ? 1.0 : 0.0;
    else return a > b ? 1.0 : 0.0;
}

struct OperationEntry {
    Operation one;                                                     // on one pair of arguments
    void (*many)(const double*, const double*, double*, std::size_t);  // on n pairs
};

template <Op op>
constexpr OperationEntry Entry() {
    return {&Apply<op>, [](const double* a, const double* b, double* out, std::size_t n) {
                for (std::size_t i = 0; i < n; ++i) out[i] = Apply<op>(a[i], b[i]);
            }};
}

const std::map<std::string, OperationEntry>& Operations() {
    static const std::map<std::string, OperationEntry> operations = {
        {"Add", Entry<Op::Add>()},   {"Sub", Entry<Op::Sub>()},   {"Mul", Entry<Op::Mul>()},
        {"Div", Entry<Op::Div>()},   {"Pow", Entry<Op::Pow>()},   {"Avg2", Entry<Op::Avg2>()},
        {"Sqrt", Entry<Op::Sqrt>()}, {"Exp", Entry<Op::Exp>()},   {"Ln", Entry<Op::Ln>()},
        {"Sin", Entry<Op::Sin>()},   {"Cos", Entry<Op::Cos>()},   {"Tan", Entry<Op::Tan>()},
        {"Min2", Entry<Op::Min2>()}, {"Max2", Entry<Op::Max2>()}, {"Abs", Entry<Op::Abs>()},
        {"LT", Entry<Op::LT>()},     {"GT", Entry<Op::GT>()},
    };
    return operations;
}

ComError InvalidCharacter(char symbol) {
    return ComError(v2InvalidCharInFunctionSet, "", std::string("Invalid character: ") + symbol);
}

const OperationEntry& OperationOf(const GeneNode& node) {
    if (!node.function) throw InvalidCharacter(node.symbol);
    const auto it = Operations().find(node.function->key);
    if (it == Operations().end()) throw ComError(5, "ReferenceHost", "No computation for the function " + node.function->key);
    return it->second;
}

double ArgumentValue(const std::vector<double>& values, const GeneNode& node, std::size_t a) {
    if (a >= node.children.size()) return 0.0;
    const std::size_t child = node.children[a];
    if (child == kMissingNode) throw ComError(9, "ReferenceHost", "A gene ends before its expression is complete");
    return values[child];
}

}  // namespace

double EvaluateGene(const GeneTree& gene, std::span<const double> terminals) {
    const auto& nodes = gene.nodes;
    if (nodes.empty()) throw ComError(9, "ReferenceHost", "A gene ends before its expression is complete");
    // Arguments always follow their function, so one backward pass computes
    // every node after its arguments, without recursion.
    thread_local std::vector<double> values;
    values.resize(nodes.size());
    for (std::size_t i = nodes.size(); i-- > 0;) {
        const GeneNode& n = nodes[i];
        if (n.IsTerminal()) {
            if (n.terminal == kNoTerminalNumber) throw ComError::TypeMismatch();
            if (n.terminal >= terminals.size())
                throw ComError(9, "ReferenceHost", "Terminal d" + std::to_string(n.terminal) + " is beyond the " +
                                                       std::to_string(terminals.size()) + " variables of the data");
            values[i] = terminals[n.terminal];
        } else {
            values[i] = OperationOf(n).one(ArgumentValue(values, n, 0), ArgumentValue(values, n, 1));
        }
    }
    return values[0];
}

double EvaluateModel(const ModelTree& model, std::span<const double> terminals) {
    if (model.genes.empty()) throw ComError(5, "ReferenceHost", "The run has no model");
    const auto* linking = FindNativeFunction(model.linking);
    const Operation link = OperationOf(GeneNode{model.linking, kNoTerminalNumber, linking, {}}).one;
    double value = EvaluateGene(model.genes.front(), terminals);
    for (std::size_t g = 1; g < model.genes.size(); ++g) value = link(value, EvaluateGene(model.genes[g], terminals));
    return value;
}

ModelProgram::ModelProgram(const ModelTree& model) {
    std::size_t longest = 0;
    try {
        if (model.genes.empty()) throw ComError::TypeMismatch();
        link_ = OperationOf(GeneNode{model.linking, kNoTerminalNumber, FindNativeFunction(model.linking), {}}).many;
        for (const GeneTree& gene : model.genes) {
            if (gene.nodes.empty()) throw ComError::TypeMismatch();
            auto& steps = genes_.emplace_back();
            for (const GeneNode& node : gene.nodes) {
                Step step;
                if (node.IsTerminal()) {
                    if (node.terminal == kNoTerminalNumber) throw ComError::TypeMismatch();
                    step.terminal = node.terminal;
                    columnsNeeded_ = std::max(columnsNeeded_, node.terminal + 1);
                } else {
                    step.apply = OperationOf(node).many;
                    step.first = node.children.empty() ? kMissingNode : node.children[0];
                    step.second = node.children.size() < 2 ? kMissingNode : node.children[1];
                    for (const std::size_t child : node.children)
                        if (child == kMissingNode) throw ComError::TypeMismatch();
                }
                steps.push_back(step);
            }
            longest = std::max(longest, steps.size());
        }
    } catch (const ComError&) {
        runnable_ = false;  // EvaluateModel tells what is wrong
        return;
    }
    scratch_.assign(longest * kBatch + kBatch, 0.0);  // the last kBatch stay zero: a missing argument
    values_.resize(longest);
}

bool ModelProgram::Run(std::span<const double* const> columns, std::size_t n, double* out) {
    if (!runnable_ || columnsNeeded_ > columns.size() || n > kBatch) return false;
    const double* const zeros = scratch_.data() + scratch_.size() - kBatch;
    for (std::size_t g = 0; g < genes_.size(); ++g) {
        const auto& steps = genes_[g];
        // Arguments always follow their function: backwards, every step
        // finds its arguments done.
        for (std::size_t i = steps.size(); i-- > 0;) {
            const Step& step = steps[i];
            if (!step.apply) {
                values_[i] = columns[step.terminal];
                continue;
            }
            double* const result = scratch_.data() + i * kBatch;
            step.apply(step.first == kMissingNode ? zeros : values_[step.first],
                       step.second == kMissingNode ? zeros : values_[step.second], result, n);
            values_[i] = result;
        }
        if (g == 0) std::copy_n(values_[0], n, out);
        else link_(out, values_[0], out, n);
    }
    return true;
}

namespace {

// A piece of a data text: whole lines, their records and what the model
// makes of them.
// The model's outputs on some records, appended with their targets, a batch
// of records with the same number of fields at a time; a batch the program
// cannot compute goes record by record, so that EvaluateModel raises the
// error where it lies. The first error stops the computation and is kept.
void ComputeRows(const ModelTree& model, ModelProgram& program, const DataRows& rows, std::vector<double>& targets,
                 std::vector<double>& outputs, std::exception_ptr& failure) {
    std::vector<double> columns;
    std::vector<const double*> starts;
    std::array<double, ModelProgram::kBatch> batch{};
    std::size_t r = 0;
    while (r < rows.rowEnds.size()) {
        const std::size_t begin = r == 0 ? 0 : rows.rowEnds[r - 1];
        const std::size_t width = rows.rowEnds[r] - begin;
        std::size_t n = 1;
        for (std::size_t at = rows.rowEnds[r]; r + n < rows.rowEnds.size() && n < ModelProgram::kBatch &&
                                               rows.rowEnds[r + n] - at == width;
             at = rows.rowEnds[r + n], ++n) {
        }
        // Field-major copies of the independent variables.
        const std::size_t variables = width - 1;
        columns.resize(variables * n);
        starts.resize(variables);
        const double* const values = rows.values.data() + begin;
        for (std::size_t v = 0; v < variables; ++v) {
            for (std::size_t i = 0; i < n; ++i) columns[v * n + i] = values[i * width + v];
            starts[v] = columns.data() + v * n;
        }
        for (std::size_t i = 0; i < n; ++i) targets.push_back(values[i * width + variables]);
        if (program.Run(starts, n, batch.data())) {
            outputs.insert(outputs.end(), batch.begin(), batch.begin() + static_cast<std::ptrdiff_t>(n));
        } else {
            try {
                for (std::size_t i = 0; i < n; ++i)
                    outputs.push_back(EvaluateModel(model, std::span<const double>(values + i * width, variables)));
            } catch (...) {
                failure = std::current_exception();
                targets.resize(outputs.size());
                return;
            }
        }
        r += n;
    }
}

// The length of text's first part of whole lines of about `size` characters
// (longer when a line is), all of it when it is no longer.
std::size_t WholeLinesPart(std::string_view text, std::size_t size) {
    for (std::size_t want = size;; want *= 2) {
        const std::string_view window = text.substr(0, want);
        const bool atEnd = window.size() == text.size();
        const std::size_t whole = WholeLinesLength(window, atEnd);
        if (whole > 0 || atEnd) return whole;
    }
}

// A piece of a data text: whole lines, their number and records, and the
// model's outputs on them.
struct FitPiece {
    std::string_view text;
    DataRows rows;  // the records of a part of the piece at a time; the reading's failure
    std::size_t lines = 0, records = 0;
    bool loneCr = false;
    std::vector<double> targets, outputs;
    std::exception_ptr failure;  // of the computation, at the end of outputs
};

}  // namespace

Fit FitOn(const ModelTree& model, const DataSet& data) {
    Fit fit;
    fit.targets.reserve(data.RecordCount());
    fit.outputs.reserve(data.RecordCount());
    ModelProgram program(model);
    std::exception_ptr failure;
    for (const DataRows& block : data.Blocks()) {
        ComputeRows(model, program, block, fit.targets, fit.outputs, failure);
        if (failure) std::rethrow_exception(failure);
    }
    return fit;
}

std::size_t FitOnText(const ModelTree& model, std::string_view text, bool names, std::string_view namesLine,
                      std::string_view separator, std::string_view decimal, const FitUse& useFit, bool* eachLine) {
    std::size_t records = 0;
    bool loneCr = false;
    std::size_t linesBefore = 0;
    std::exception_ptr computeFailure;
    bool namesPending = names;
    if (names) {
        DataRows first;
        ReadDataLines(namesLine, separator, decimal, namesPending, first);
        linesBefore = first.lines;
    }
    // Pieces of a megabyte go to the threads; each is read and computed
    // in parts of some kilobytes, whose records stay in the processor's cache
    // and are all the memory the computation takes beyond the text and the
    // outputs.
    constexpr std::size_t kPiece = 1 << 20, kPart = 1 << 16;
    std::size_t at = 0;
    const auto next = [&](FitPiece& piece) {
        if (at >= text.size()) return false;
        piece.text = text.substr(at, WholeLinesPart(text.substr(at), kPiece));
        at += piece.text.size();
        return true;
    };
    const auto make = [&](FitPiece& piece, bool& pending) {
        piece.lines = piece.records = 0;
        piece.loneCr = false;
        piece.targets.clear();
        piece.outputs.clear();
        piece.failure = nullptr;
        ModelProgram program(model);  // one per piece: a program holds its scratch space
        for (std::string_view rest = piece.text; !rest.empty();) {
            const std::string_view part = rest.substr(0, WholeLinesPart(rest, kPart));
            rest.remove_prefix(part.size());
            piece.rows.Clear();
            ReadDataLines(part, separator, decimal, pending, piece.rows);
            if (piece.rows.failure) {
                piece.rows.failureLine += piece.lines;  // counted within the piece
                return;
            }
            piece.lines += piece.rows.lines;
            piece.records += piece.rows.rowEnds.size();
            piece.loneCr = piece.loneCr || piece.rows.loneCr;
            if (!piece.failure) ComputeRows(model, program, piece.rows, piece.targets, piece.outputs, piece.failure);
        }
    };
    const auto use = [&](FitPiece& piece) {
        if (piece.rows.failure) ThrowDataFailure(piece.rows, linesBefore);
        linesBefore += piece.lines;
        records += piece.records;
        loneCr = loneCr || piece.loneCr;
        if (computeFailure) return;  // the reading may still fail further on
        useFit(piece.targets, piece.outputs);
        computeFailure = piece.failure;
    };
    const bool namesInText = namesPending;
    for (FitPiece first; namesPending && next(first);) {
        make(first, namesPending);
        use(first);
    }
    PairedWork<FitPiece>(next, [&](FitPiece& piece) {
        bool noNames = false;
        make(piece, noNames);
    }, use);
    if (computeFailure) std::rethrow_exception(computeFailure);
    if (eachLine) *eachLine = !namesInText && !loneCr;
    return records;
}

std::optional<double> RSquareOnText(const ModelTree& model, std::string_view text, bool names,
                                    std::string_view namesLine, std::string_view separator,
                                    std::string_view decimal, std::size_t& records) {
    RSquareSum sum;
    records = FitOnText(model, text, names, namesLine, separator, decimal,
                        [&](std::span<const double> t, std::span<const double> o) { sum.Add(t, o); });
    return sum.Value();
}

std::optional<double> RSquare(std::span<const double> targets, std::span<const double> outputs) {
    RSquareSum sum;
    sum.Add(targets.first(std::min(targets.size(), outputs.size())), outputs);
    return sum.Value();
}

void RSquareSum::Add(std::span<const double> targets, std::span<const double> outputs) {
    for (std::size_t i = 0; i < targets.size() && i < outputs.size(); ++i) {
        targets_[held_] = targets[i];
        outputs_[held_] = outputs[i];
        if (++held_ == kBatch) Merge();
    }
}

void RSquareSum::Merge() {
    if (held_ == 0) return;
    const auto n = static_cast<double>(held_);
    double meanT = 0, meanO = 0;
    for (std::size_t i = 0; i < held_; ++i) {
        meanT += targets_[i];
        meanO += outputs_[i];
    }
    meanT /= n;
    meanO /= n;
    double st = 0, so = 0, sto = 0;
    bool finite = true;
    for (std::size_t i = 0; i < held_; ++i) {
        finite = finite && std::isfinite(targets_[i]) && std::isfinite(outputs_[i]);
        const double t = targets_[i] - meanT, o = outputs_[i] - meanO;
        st += t * t;
        so += o * o;
        sto += t * o;
    }
    finite_ = finite_ && finite;
    // Two sets' sums joined (Chan, Golub and LeVeque): the batch's centred
    // sums stay exact enough however many rows come before it.
    const auto before = static_cast<double>(count_);
    const double all = before + n;
    const double dT = meanT - meanT_, dO = meanO - meanO_;
    st_ += st + dT * dT * before * n / all;
    so_ += so + dO * dO * before * n / all;
    sto_ += sto + dT * dO * before * n / all;
    meanT_ += dT * n / all;
    meanO_ += dO * n / all;
    count_ += held_;
    held_ = 0;
}

std::optional<double> RSquareSum::Value() {
    Merge();
    if (count_ < 2 || !finite_) return std::nullopt;
    if (st_ == 0 || so_ == 0 || !std::isfinite(st_) || !std::isfinite(so_)) return std::nullopt;
    return (sto_ / st_) * (sto_ / so_);
}

}  // namespace orv::refhost
