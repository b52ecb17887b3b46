// orvconvert report FILE... --out-dir DIR: one HTML page per run with its
// summary, model, data and charts, and an index page linking them.
#include <CLI/CLI.hpp>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <span>

#include "cli/Commands.h"
#include "cli/ConvertedRun.h"
#include "cli/ErrorLine.h"
#include "cli/LoadAsConvert.h"
#include "cli/Progress.h"
#include "cli/RunSummary.h"
#include "common/Conversions.h"
#include "host/Encoding.h"
#include "host/Formula.h"
#include "host/Karva.h"
#include "host/ModelEvaluator.h"
#include "report/Html.h"
#include "report/Page.h"

namespace orv::cli {
namespace {

namespace fs = std::filesystem;
using report::NumberText;

// A native path as UTF-8, as the pages and the console take texts (and as
// the arguments arrive on Windows).
std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Rows of a data set shown as a table; the charts use every record.
constexpr std::size_t kShownRows = 20;

// A record's fields: split at the run's separator, or at runs of blanks when
// the separator is a space.
std::vector<std::string> Fields(const std::string& line, const std::string& separator) {
    std::vector<std::string> fields;
    const bool blanks = separator == " " || separator.empty();
    std::string field;
    for (const char c : line) {
        const bool split = blanks ? (c == ' ' || c == '\t') : c == separator[0];
        if (!split) {
            field += c;
        } else if (!blanks || !field.empty()) {
            fields.push_back(std::move(field));
            field.clear();
        }
    }
    if (!blanks || !field.empty()) fields.push_back(std::move(field));
    return fields;
}

report::DataSetView DataSet(const char* name, const std::string& values, const clsRun& run,
                            const std::vector<std::string>& names, const refhost::ToUtf8& utf8) {
    report::DataSetView d;
    d.name = name;
    d.records = CountRecords(values);
    // Line by line in place: the data text can be most of the run.
    for (std::size_t at = 0; d.firstRows.size() < kShownRows && at < values.size();) {
        const std::size_t end = std::min(values.find('\n', at), values.size());
        std::string line = values.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        auto fields = Fields(line, run.Separador_toString());
        for (auto& f : fields) f = utf8(f);
        d.firstRows.push_back(std::move(fields));
    }
    std::size_t width = 0;
    for (const auto& r : d.firstRows) width = std::max(width, r.size());
    if (names.size() == width) {
        for (const auto& n : names) d.columns.push_back(utf8(n));
    } else {
        for (std::size_t i = 0; i + 1 < width; ++i) d.columns.push_back("d" + std::to_string(i));
        if (width > 0) d.columns.push_back("target");
    }
    return d;
}

std::string SeparatorName(const clsRun& run) {
    switch (run.Separador()) {
        case 0: return "space";
        case 1: return "semicolon";
        case 2: return "tab";
        case 3: return "comma";
        default: return "code " + std::to_string(run.Separador());
    }
}

report::Rows Settings(const clsRun& run, const refhost::ToUtf8& utf8) {
    // The rate, and the element lengths in use: the first count of the ten the list always shows.
    auto transposition = [](double rate, std::int32_t count, const std::string& elements) {
        std::string lengths;
        std::size_t from = 0;
        for (std::int32_t i = 0; i < std::min(count, 10); ++i) {
            const auto at = elements.find('@', from);
            if (i > 0) lengths += ", ";
            lengths.append(elements, from, at == std::string::npos ? at : at - from);
            if (at == std::string::npos) break;
            from = at + 1;
        }
        return NumberText(rate) + (lengths.empty() ? "" : ", element lengths " + lengths);
    };
    report::Rows rows = {
        {"Mutation", NumberText(run.Mutation())},
        {"One-point recombination", NumberText(run.OnePointRec())},
        {"Two-point recombination", NumberText(run.TwoPointRec())},
        {"Gene recombination", NumberText(run.GeneRec())},
        {"Gene transposition", NumberText(run.GeneTransp())},
        {"IS transposition", transposition(run.ISTranspRate(), run.NumISElem(), run.ISElements())},
        {"RIS transposition", transposition(run.RISTranspRate(), run.NumRISElem(), run.RISElements())},
        {"Precision", NumberText(run.Precision())},
        {"Stop condition", std::to_string(run.StopConditionIndex()) + ", value " + NumberText(run.StopConditionValue())},
        {"Separator", SeparatorName(run)},
        {"Training file", utf8(run.TrainPathFile())},
        {"Test file", utf8(run.ValPathFile())},
        {"Last saved", utf8(run.LastSaved())},
    };
    if (run.Category() == 1) rows.insert(rows.begin() + 7, {"Class threshold", NumberText(run.ClassThreshold())});
    return rows;
}

// A node's label in a drawn tree: an operator's symbol, a function's name.
std::string NodeLabel(const refhost::GeneNode& n, const std::vector<std::string>& names) {
    if (n.IsTerminal()) {
        if (n.terminal < names.size()) return names[n.terminal];
        return n.terminal == refhost::kNoTerminalNumber ? "d" : "d" + std::to_string(n.terminal);
    }
    if (!n.function || !std::isalnum(static_cast<unsigned char>(n.symbol))) return std::string(1, n.symbol);
    const std::string& infix = n.function->infix;
    std::size_t letters = 0;
    while (letters < infix.size() && std::isalpha(static_cast<unsigned char>(infix[letters]))) ++letters;
    if (letters > 0) return infix.substr(0, letters);
    std::string key = n.function->key;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

std::vector<report::TreeNode> Tree(const refhost::GeneTree& gene, const std::vector<std::string>& names,
                                   const refhost::ToUtf8& utf8) {
    std::vector<report::TreeNode> tree;
    for (const auto& n : gene.nodes) tree.push_back({utf8(NodeLabel(n, names)), {}});
    for (std::size_t i = 0; i < gene.nodes.size(); ++i)
        for (const std::size_t child : gene.nodes[i].children) {
            if (child != refhost::kMissingNode) {
                tree[i].children.push_back(child);
            } else {  // the gene ran out of symbols here
                tree[i].children.push_back(tree.size());
                tree.push_back({"?", {}});
            }
        }
    return tree;
}

// The model computed on every record of the data sets, read from the run's
// data texts in one pass each, with what the page and the summary show of
// it. A run whose model or data cannot be computed still gets its page, with
// the reason instead of the charts.
std::array<std::string, 2> Evaluate(const clsRun& run, const refhost::ModelTree& model, report::RunView& v) {
    std::array<std::string, 2> recomputed{"n/a (no model)", "n/a (no model)"};
    if (model.genes.empty()) return recomputed;
    for (std::size_t k = 0; k < 2; ++k) {
        try {
            Guarded([&] {
                report::FitSample fit(v.classThreshold);
                refhost::RSquareSum sum;
                const std::size_t records =
                    FitOnRecord(model, run, k, [&](std::span<const double> t, std::span<const double> o) {
                        fit.Add(t, o);
                        sum.Add(t, o);
                    });
                const auto rSquare = sum.Value();
                recomputed[k] = RecomputedText(records, rSquare);
                if (k < v.data.size()) {
                    v.data[k].rSquare = rSquare;
                    v.data[k].fit = std::move(fit);
                }
            });
        } catch (const ComError& e) {
            recomputed[k] = RecomputedErrorText(e);
            if (v.modelNote.empty())
                v.modelNote = "The model could not be computed on the data: error " + std::to_string(e.Number()) +
                              ": " + e.Description();
        }
    }
    if (!v.modelNote.empty())
        for (auto& d : v.data) d.fit.reset();
    return recomputed;
}

// The run's page content, and its line of the index.
report::RunView View(const std::string& file, const refhost::ToUtf8& utf8, report::IndexRow& row) {
    const clsRun run = LoadAsConvert(file);
    report::RunView v;
    v.file = Utf8(PathArgument(file).Native().filename());
    v.key = utf8(run.Key());
    v.category = run.Category_toString();
    v.author = utf8(run.Author());
    v.lastSaved = utf8(run.LastSaved());
    v.comments = utf8(run.Comments());
    v.settings = Settings(run, utf8);
    v.errorType = run.ErrorType_toString();
    if (run.Category() == 1) v.classThreshold = run.ClassThreshold();
    const auto names = FieldNameList(run.FieldNames(), run.Separador_toString());
    v.karva = utf8(run.Karva());
    v.linking = run.LinkingFunction();
    v.formula = utf8(refhost::KarvaToFormula(run.Karva(), v.linking, names));
    const refhost::ModelTree model = refhost::DecodeModel(run.Karva(), v.linking);
    for (const auto& gene : model.genes) {
        std::string karva;
        for (const auto& n : gene.nodes) karva += n.IsTerminal() ? NodeLabel(n, {}) : std::string(1, n.symbol);
        v.genes.push_back({utf8(refhost::KarvaToFormula(karva, v.linking, names)), utf8(karva), Tree(gene, names, utf8)});
    }
    v.data.push_back(DataSet("Training", run.TrainValues(), run, names, utf8));
    if (CountRecords(run.ValidationValues()) > 0)
        v.data.push_back(DataSet("Test", run.ValidationValues(), run, names, utf8));
    const auto recomputed = Evaluate(run, model, v);
    v.summary = RunSummary(run, utf8, &recomputed);
    v.history = report::ParseEvolveHistory(run.EvolveHistory());
    v.generations = run.Geracoes();
    v.maxFitness = run.MaxFitnessRun();
    row.key = v.key;
    row.category = v.category;
    row.bestFitness = NumberText(run.BestFitnessRun()) + " of " + NumberText(run.MaxFitnessRun());
    // Computed when the model runs on the data; else as the run stored it.
    if (!v.data.empty() && v.data.front().rSquare)
        row.rSquare = report::ShortNumber(*v.data.front().rSquare);
    else
        row.rSquare = run.rsQuareRun() == -1 ? "n/a" : NumberText(run.rsQuareRun());
    return v;
}

void WriteText(const fs::path& target, const std::string& text) {
    std::ofstream stream(target, std::ios::binary | std::ios::trunc);
    stream << text;
    stream.close();
    if (!stream) throw ComError(75, "", "Path/File access error: " + Utf8(target));
}

// NAME.html after the run file, kept apart from the index and from an
// earlier file of the same name: the native name, and its text for links.
std::pair<fs::path, std::string> PageName(const std::string& file, std::set<std::string>& taken) {
    const fs::path stem = PathArgument(file).Native().stem();
    for (int n = 1;; ++n) {
        fs::path name = stem;
        name += n == 1 ? std::string(".html") : "-" + std::to_string(n) + ".html";
        std::string text = Utf8(name);
        if (text != "index.html" && taken.insert(text).second) return {name, text};
    }
}

}  // namespace

void AddReportCommand(CLI::App& app) {
    struct Options {
        std::vector<std::string> files;
        std::string outDir;
        std::string encoding = "windows-1252";
    };
    auto opts = std::make_shared<Options>();
    CLI::App* cmd = app.add_subcommand("report", "Write an HTML page with charts per run file, and an index page");
    cmd->add_option("FILE", opts->files, "Run files (.kvr)")->required();
    cmd->add_option("--out-dir", opts->outDir, "Folder for index.html and one NAME.html per FILE")->required();
    AddEncodingOption(*cmd, opts->encoding);
    cmd->callback([opts] {
        const refhost::ToUtf8 utf8(opts->encoding);
        std::error_code ec;
        const fs::path outDir = PathArgument(opts->outDir).Native();
        fs::create_directories(outDir, ec);
        const Progress progress(opts->files.size());
        std::vector<report::IndexRow> index;
        std::set<std::string> taken;
        bool failed = false;
        for (std::size_t i = 0; i < opts->files.size(); ++i) {
            const std::string& file = opts->files[i];
            progress.Show(i, file);
            report::IndexRow row;
            row.file = file;
            try {
                Guarded([&] {
                    const auto [page, link] = PageName(file, taken);
                    WriteText(outDir / page, report::RunPageHtml(View(file, utf8, row)));
                    row.page = link;
                });
            } catch (const ComError& e) {
                progress.Clear();
                std::cerr << ErrorLine(file, e) << '\n';
                row.error = "error " + std::to_string(e.Number()) + ": " + e.Description();
                failed = true;
            }
            index.push_back(std::move(row));
        }
        progress.Show(opts->files.size(), "");
        progress.Clear();
        try {
            Guarded([&] { WriteText(outDir / "index.html", report::IndexPageHtml(index)); });
        } catch (const ComError& e) {
            FailWith(opts->outDir, e);
        }
        if (failed) throw CLI::RuntimeError(1);
    });
}

}  // namespace orv::cli
