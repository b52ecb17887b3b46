#include "host/ModelEvaluator.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "adapter/V2Adapter.h"
#include "common/ComError.h"
#include "host/ReferenceHost.h"

namespace orv::refhost {
namespace {

using Operation = double (*)(double, double);  // unary functions ignore the second argument

// What each native function computes, by catalogue key. The generated code's
// templates (NativeCatalogue.cpp) must compute the same.
const std::map<std::string, Operation>& Operations() {
    static const std::map<std::string, Operation> operations = {
        {"Add", [](double a, double b) { return a + b; }},
        {"Sub", [](double a, double b) { return a - b; }},
        {"Mul", [](double a, double b) { return a * b; }},
        {"Div", [](double a, double b) { return a / b; }},
        {"Pow", [](double a, double b) { return std::pow(a, b); }},
        {"Avg2", [](double a, double b) { return (a + b) / 2; }},
        {"Sqrt", [](double a, double) { return std::sqrt(a); }},
        {"Exp", [](double a, double) { return std::exp(a); }},
        {"Ln", [](double a, double) { return std::log(a); }},
        {"Sin", [](double a, double) { return std::sin(a); }},
        {"Cos", [](double a, double) { return std::cos(a); }},
        {"Tan", [](double a, double) { return std::tan(a); }},
        {"Min2", [](double a, double b) { return std::fmin(a, b); }},
        {"Max2", [](double a, double b) { return std::fmax(a, b); }},
        {"Abs", [](double a, double) { return std::fabs(a); }},
        {"LT", [](double a, double b) { return a < b ? 1.0 : 0.0; }},
        {"GT", [](double a, double b) { return a > b ? 1.0 : 0.0; }},
    };
    return operations;
}

ComError InvalidCharacter(char symbol) {
    return ComError(v2InvalidCharInFunctionSet, "", std::string("Invalid character: ") + symbol);
}

Operation OperationOf(const GeneNode& node) {
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
            values[i] = OperationOf(n)(ArgumentValue(values, n, 0), ArgumentValue(values, n, 1));
        }
    }
    return values[0];
}

double EvaluateModel(const ModelTree& model, std::span<const double> terminals) {
    if (model.genes.empty()) throw ComError(5, "ReferenceHost", "The run has no model");
    const auto* linking = FindNativeFunction(model.linking);
    const Operation link = OperationOf(GeneNode{model.linking, kNoTerminalNumber, linking, {}});
    double value = EvaluateGene(model.genes.front(), terminals);
    for (std::size_t g = 1; g < model.genes.size(); ++g) value = link(value, EvaluateGene(model.genes[g], terminals));
    return value;
}

Fit FitOn(const ModelTree& model, const DataSet& data) {
    Fit fit;
    fit.targets.reserve(data.RecordCount());
    fit.outputs.reserve(data.RecordCount());
    for (std::size_t r = 0; r < data.RecordCount(); ++r) {
        const std::span<const double> record = data.Fields(r);
        if (record.empty()) continue;
        fit.targets.push_back(record.back());
        fit.outputs.push_back(EvaluateModel(model, record.first(record.size() - 1)));
    }
    return fit;
}

std::optional<double> RSquare(std::span<const double> targets, std::span<const double> outputs) {
    const std::size_t n = std::min(targets.size(), outputs.size());
    if (n < 2) return std::nullopt;
    double meanT = 0, meanO = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(targets[i]) || !std::isfinite(outputs[i])) return std::nullopt;
        meanT += targets[i];
        meanO += outputs[i];
    }
    meanT /= static_cast<double>(n);
    meanO /= static_cast<double>(n);
    double st = 0, so = 0, sto = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = targets[i] - meanT, o = outputs[i] - meanO;
        st += t * t;
        so += o * o;
        sto += t * o;
    }
    if (st == 0 || so == 0 || !std::isfinite(st) || !std::isfinite(so)) return std::nullopt;
    return (sto / st) * (sto / so);
}

}  // namespace orv::refhost
