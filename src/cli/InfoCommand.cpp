// orvconvert info FILE: a human summary of a run file and its best model.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <iostream>
#include <map>
#include <memory>
#include <string_view>
#include <utility>

#include "adapter/V3Helpers.h"
#include "cli/Commands.h"
#include "cli/ConvertedRun.h"
#include "host/Encoding.h"
#include "cli/ErrorLine.h"
#include "cli/LoadAsConvert.h"
#include "cli/RunSummary.h"
#include "common/Conversions.h"
#include "common/PairedWork.h"
#include "host/Formula.h"
#include "host/ReferenceHost.h"
#include "host/ModelEvaluator.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv::cli {

namespace {

bool BlankOrCr(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// True when the line that starts at `start` (up to the next LF) has nothing
// but blanks and CR on it.
bool BlankLineAt(std::string_view values, std::size_t start) {
    for (std::size_t i = start; i < values.size() && values[i] != '\n'; ++i)
        if (!BlankOrCr(values[i])) return false;
    return true;
}

// Lines (split at LF) with anything but blanks and CR on them: every line
// counts but the blank ones, and a blank line starts with a blank, a CR or
// its LF (or ends the text), so only lines that start so are looked at.
std::size_t CountLines(std::string_view values) {
    const std::size_t n = values.size();
    std::size_t lines = 1, blank = BlankLineAt(values, 0) ? 1 : 0;
    const auto atLineBreak = [&](std::size_t i) {
        ++lines;
        if (i + 1 == n || BlankOrCr(values[i + 1]) || values[i + 1] == '\n') blank += BlankLineAt(values, i + 1) ? 1 : 0;
    };
    // Blocks with no line break before a blank, CR or LF (nor before any
    // other control character) are counted in a loop that the compiler
    // vectorises.
    constexpr std::size_t kBlock = 64;
    std::size_t i = 0;
    for (; i + kBlock < n; i += kBlock) {
        const auto* t = reinterpret_cast<const unsigned char*>(values.data() + i);
        unsigned suspect = 0, breaks = 0;
        for (std::size_t j = 0; j < kBlock; ++j) {
            const unsigned lf = t[j] == '\n';
            const unsigned after = t[j + 1];
            breaks += lf;
            suspect |= lf & (after <= ' ');  // blanks, CR and LF, among other controls
        }
        if (suspect == 0) {
            lines += breaks;
            continue;
        }
        for (std::size_t j = 0; j < kBlock; ++j)
            if (t[j] == '\n') atLineBreak(i + j);
    }
    for (; i < n; ++i)
        if (values[i] == '\n') atLineBreak(i);
    return lines - blank;
}

}  // namespace

// Large texts in pieces on two threads: each piece but the last ends with a
// line feed, so the pieces' counts add up to the whole's.
std::size_t CountRecords(std::string_view values) {
    constexpr std::size_t kPiece = 1 << 22;
    struct Piece {
        std::string_view text;
        std::size_t count = 0;
    };
    std::size_t at = 0, records = 0;
    bool first = true;
    PairedWork<Piece>(
        [&](Piece& piece) {
            if (at == values.size() && !first) return false;
            const std::size_t lineFeed = values.size() - at > kPiece ? values.find('\n', at + kPiece) : values.npos;
            const std::size_t end = lineFeed == values.npos ? values.size() : lineFeed + 1;
            piece.text = values.substr(at, end - at);
            at = end;
            first = false;
            return true;
        },
        [](Piece& piece) { piece.count = CountLines(piece.text); }, [&](Piece& piece) { records += piece.count; });
    return records;
}

namespace {

std::string Number(double v) { return DoubleToText(v, "."); }

}  // namespace

std::size_t FitOnRecord(const refhost::ModelTree& model, const clsRun& record, std::size_t k,
                        const refhost::FitUse& use, bool* eachLine) {
    const std::string separator = refhost::DataSet().SeparatorText(V3Helpers::V3SeparatorCode(record.Separador()));
    const std::string localeDecimal = v2LocaleSettings::DecimalSeparator();
    const std::string_view decimal = localeDecimal.empty() ? std::string_view(".") : std::string_view(localeDecimal);
    const bool names = !record.FieldNames().empty();
    // The training file's names line has the data's separator between the
    // names; the test file's has them as the record keeps them.
    const std::string namesLine = k == 0 ? ReplaceAll(record.FieldNames(), " ", separator) : record.FieldNames();
    return refhost::FitOnText(model, k == 0 ? record.TrainValues() : record.ValidationValues(), names, namesLine,
                              separator, decimal, use, eachLine);
}

std::string RecomputedText(std::size_t records, std::optional<double> rSquare) {
    return records == 0 ? "n/a (no data)" : rSquare ? Number(*rSquare) : "n/a (undefined on these outputs)";
}

namespace {

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

std::string RecomputedErrorText(const ComError& e) {
    return "n/a (error " + std::to_string(e.Number()) + ": " + e.Description() + ")";
}

namespace {

// R-square of the best model recomputed on the run's training and test data,
// as texts to print beside the stored figures, and the records of each data
// text when the computation read them all as CountRecords counts them.
struct Recomputed {
    std::array<std::string, 2> texts;
    std::array<std::optional<std::size_t>, 2> records;
};

Recomputed RecomputedRSquare(const clsRun& record) {
    Recomputed out;
    if (TrimSpaces(record.Karva()).empty()) {
        out.texts.fill("n/a (no model)");
        return out;
    }
    try {
        const auto model = refhost::DecodeModel(record.Karva(), record.LinkingFunction());
        for (std::size_t k = 0; k < 2; ++k) {
            try {
                refhost::RSquareSum sum;
                bool eachLine = false;
                const std::size_t records = FitOnRecord(
                    model, record, k, [&](std::span<const double> t, std::span<const double> o) { sum.Add(t, o); },
                    &eachLine);
                out.texts[k] = RecomputedText(records, sum.Value());
                if (eachLine) out.records[k] = records;
            } catch (const ComError& e) {
                out.texts[k] = RecomputedErrorText(e);
            }
        }
    } catch (const ComError& e) {
        out.texts.fill(RecomputedErrorText(e));
    }
    return out;
}

}  // namespace

SummaryLines RunSummary(const clsRun& run, const refhost::ToUtf8& utf8,
                        const std::array<std::string, 2>* recomputedTexts) {
    SummaryLines lines;
    // The loader marks a record it upgraded from 1.0, so the file need not be probed again.
    const double version = run.GravadoEmVersaoAnterior() ? 1 : 2;
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
    // The records come with the recomputed R-square when it read every line.
    const Recomputed own = recomputedTexts ? Recomputed{} : RecomputedRSquare(run);
    const auto records = [&](std::size_t k, std::string_view values) {
        return own.records[k] ? *own.records[k] : CountRecords(values);
    };
    line("Training data:", std::to_string(records(0, run.TrainValues())) + " records");
    line("Test data:", std::to_string(records(1, run.ValidationValues())) + " records");
    line("Fitness:", "error type " + run.ErrorType_toString() + ", selection range " + Number(run.SelectionRange()));
    const auto& recomputed = recomputedTexts ? *recomputedTexts : own.texts;
    line("  training:", "best " + Number(run.BestFitnessRun()) + " of " + Number(run.MaxFitnessRun()) +
                            ", R-square " + Number(run.rsQuareRun()) + ", recomputed " + recomputed[0]);
    line("  test:", "best " + Number(run.BestFitnessVal()) + " of " + Number(run.MaxFitnessVal()) + ", R-square " +
                        Number(run.RsquareVal()) + ", recomputed " + recomputed[1]);
    const std::string formula = refhost::KarvaToFormula(run.Karva(), run.LinkingFunction(), FieldNameList(run.FieldNames(), run.Separador_toString()));
    line("Best model:", formula.empty() ? "(none)" : utf8(formula));
    if (!run.Karva().empty()) line("  Karva:", utf8(run.Karva()));
    return lines;
}

namespace {

void PrintInfo(const std::string& file, const refhost::ToUtf8& utf8) {
    for (const auto& [label, value] : RunSummary(LoadAsConvert(file), utf8))
        std::cout << label << std::string(15 - std::min<std::size_t>(label.size(), 14), ' ') << value << '\n';
}

}  // namespace

void AddInfoCommand(CLI::App& app) {
    AddFileCommand(app, "info", "Print a summary of a run file and its best model", [](const FileOptions& opts) {
        ReportingErrorsFor(opts.file, [&] { PrintInfo(opts.file, refhost::ToUtf8(opts.encoding)); });
    });
}

}  // namespace orv::cli
