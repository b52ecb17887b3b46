// orvconvert info FILE: a human summary of a run file and its best model.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <string_view>
#include <utility>

#include "adapter/V2Adapter.h"
#include "cli/Commands.h"
#include "host/Encoding.h"
#include "cli/ErrorLine.h"
#include "cli/LoadAsConvert.h"
#include "cli/RunSummary.h"
#include "common/Conversions.h"
#include "host/Formula.h"
#include "host/ReferenceHost.h"
#include "host/ModelEvaluator.h"
#include "legacy_file/clsFileParser.h"

namespace orv::cli {

// Lines (split at LF) with anything but blanks and CR on them.
std::size_t CountRecords(std::string_view values) {
    std::size_t n = 0;
    for (std::size_t start = 0; start < values.size();) {
        std::size_t end = values.find('\n', start);
        if (end == std::string_view::npos) end = values.size();
        if (values.substr(start, end - start).find_first_not_of(" \t\r") != std::string_view::npos) ++n;
        start = end + 1;
    }
    return n;
}

namespace {

std::string Number(double v) { return DoubleToText(v, "."); }

// "+x3 - * /": each symbol once, with its weight when above 1.
std::string FunctionSetText(const std::string& set) {
    std::string order;
    std::map<char, int> counts;
    for (const char c : set)
        if (counts[c]++ == 0) order += c;
    std::string out;
    for (const char c : order) {
        if (!out.empty()) out += ' ';
        out += c;
        if (counts[c] > 1) out += "x" + std::to_string(counts[c]);
    }
    return out.empty() ? "(empty)" : out;
}

}  // namespace

std::vector<std::string> FieldNameList(const std::string& text, const std::string& separator) {
    std::vector<std::string> names;
    std::string name;
    for (const char c : text + ' ') {
        if (c == ' ' || (separator.size() == 1 && c == separator[0])) {
            if (!name.empty()) names.push_back(std::move(name));
            name.clear();
        } else {
            name += c;
        }
    }
    return names;
}

namespace {

// Hands a record to a conversion: as it stands, or giving up its data texts.
using Transfer = std::function<void(V2Adapter&, const std::shared_ptr<refhost::Run>&)>;

// R-square of the best model recomputed on the converted training and test
// data, as texts to print beside the stored figures.
std::array<std::string, 2> RecomputedRSquare(const clsRun& record, const Transfer& transfer) {
    if (TrimSpaces(record.Karva()).empty()) return {"n/a (no model)", "n/a (no model)"};
    std::array<std::string, 2> texts;
    try {
        refhost::ReferenceHost host;
        const auto converted = host.CreateRun();
        V2Adapter adapter(host);
        transfer(adapter, converted);
        const auto model = refhost::DecodeModel(record.Karva(), record.LinkingFunction());
        for (std::int32_t which = 1; which <= 2; ++which) {
            const auto& data = converted->Data(which);
            std::string& text = texts[static_cast<std::size_t>(which - 1)];
            if (!data.Loaded() || data.RecordCount() == 0) {
                text = "n/a (no data)";
                continue;
            }
            const auto fit = refhost::FitOn(model, data);
            const auto r2 = refhost::RSquare(fit.targets, fit.outputs);
            text = r2 ? Number(*r2) : "n/a (undefined on these outputs)";
        }
    } catch (const ComError& e) {
        texts.fill("n/a (error " + std::to_string(e.Number()) + ": " + e.Description() + ")");
    }
    return texts;
}

SummaryLines Summary(double version, const clsRun& run, const refhost::ToUtf8& utf8, const Transfer& transfer) {
    SummaryLines lines;
    auto line = [&lines](const char* label, const std::string& value) { lines.emplace_back(label, value); };
    line("Version:", version == 1 ? "1.0 (upgraded to 2.0 on load)" : "2.0");
    line("Key:", utf8(run.Key()));
    line("Author:", utf8(run.Author()));
    line("Category:", run.Category_toString());
    line("Population:", std::to_string(run.Cromossomas()) + " chromosomes, " + std::to_string(run.Geracoes()) +
                            " generations");
    line("Architecture:", std::to_string(run.Genes()) + " genes, head " + std::to_string(run.Head()) +
                              ", gene length " + std::to_string(run.TamanhoGene()) + ", chromosome length " +
                              std::to_string(run.TamanhoCromossoma()) + ", linked by " + run.LinkingFunction());
    line("Function set:", FunctionSetText(run.FunctionSet()));
    line("Terminals:", std::to_string(run.NumeroTerminais()) +
                           (run.FieldNames().empty() ? "" : " (fields: " + utf8(run.FieldNames()) + ")"));
    line("Training data:", std::to_string(CountRecords(run.TrainValues())) + " records");
    line("Test data:", std::to_string(CountRecords(run.ValidationValues())) + " records");
    line("Fitness:", "error type " + run.ErrorType_toString() + ", selection range " + Number(run.SelectionRange()));
    const auto recomputed = RecomputedRSquare(run, transfer);
    line("  training:", "best " + Number(run.BestFitnessRun()) + " of " + Number(run.MaxFitnessRun()) +
                            ", R-square " + Number(run.rsQuareRun()) + ", recomputed " + recomputed[0]);
    line("  test:", "best " + Number(run.BestFitnessVal()) + " of " + Number(run.MaxFitnessVal()) + ", R-square " +
                        Number(run.RsquareVal()) + ", recomputed " + recomputed[1]);
    const std::string formula = refhost::KarvaToFormula(run.Karva(), run.LinkingFunction(), FieldNameList(run.FieldNames(), run.Separador_toString()));
    line("Best model:", formula.empty() ? "(none)" : utf8(formula));
    if (!run.Karva().empty()) line("  Karva:", utf8(run.Karva()));
    return lines;
}

}  // namespace

SummaryLines RunSummary(double version, const clsRun& run, const refhost::ToUtf8& utf8) {
    return Summary(version, run, utf8, [&](V2Adapter& adapter, const std::shared_ptr<refhost::Run>& target) {
        adapter.TransferLoadedRun(run, target);
    });
}

SummaryLines RunSummary(double version, clsRun&& run, const refhost::ToUtf8& utf8) {
    // The texts are counted before the recomputation takes them.
    return Summary(version, run, utf8, [&](V2Adapter& adapter, const std::shared_ptr<refhost::Run>& target) {
        adapter.TransferLoadedRun(std::move(run), target);
    });
}

namespace {

void PrintInfo(const std::string& file, const refhost::ToUtf8& utf8) {
    const double version = clsFileParser().Version(PathArgument(file));
    for (const auto& [label, value] : RunSummary(version, LoadAsConvert(file), utf8))
        std::cout << label << std::string(15 - std::min<std::size_t>(label.size(), 14), ' ') << value << '\n';
}

}  // namespace

void AddInfoCommand(CLI::App& app) {
    AddFileCommand(app, "info", "Print a summary of a run file and its best model", [](const FileOptions& opts) {
        ReportingErrorsFor(opts.file, [&] { PrintInfo(opts.file, refhost::ToUtf8(opts.encoding)); });
    });
}

}  // namespace orv::cli
