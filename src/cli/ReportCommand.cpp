// orvconvert report FILE... --out-dir DIR: one HTML page per run with its
// summary, model, data and charts, and an index page linking them.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>

#include "cli/Commands.h"
#include "cli/ErrorLine.h"
#include "cli/LoadAsConvert.h"
#include "cli/Progress.h"
#include "cli/RunSummary.h"
#include "common/Conversions.h"
#include "host/Encoding.h"
#include "host/Formula.h"
#include "legacy_file/clsFileParser.h"
#include "report/Html.h"
#include "report/Page.h"

namespace orv::cli {
namespace {

namespace fs = std::filesystem;
using report::NumberText;

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
    std::istringstream in(values);
    for (std::string line; d.firstRows.size() < kShownRows && std::getline(in, line);) {
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
    auto transposition = [](double rate, std::int32_t count, const std::string& elements) {
        return NumberText(rate) + " (" + std::to_string(count) + " elements; lengths " + elements + ")";
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

// Genes as the record joins them: " + " if present, else " * ".
std::vector<std::string> Genes(const std::string& karva) {
    const std::string text(TrimSpaces(karva));
    std::vector<std::string> genes;
    if (text.empty()) return genes;
    const std::string sep = text.find(" + ") != std::string::npos ? " + " : " * ";
    for (std::size_t start = 0;;) {
        const auto hit = text.find(sep, start);
        genes.push_back(text.substr(start, hit == std::string::npos ? hit : hit - start));
        if (hit == std::string::npos) break;
        start = hit + sep.size();
    }
    return genes;
}

// The run's page content, and its line of the index.
report::RunView View(const std::string& file, const refhost::ToUtf8& utf8, report::IndexRow& row) {
    const double version = clsFileParser().Version(file);
    const clsRun run = LoadAsConvert(file);
    report::RunView v;
    v.file = fs::path(file).filename().string();
    v.key = utf8(run.Key());
    v.category = run.Category_toString();
    v.author = utf8(run.Author());
    v.lastSaved = utf8(run.LastSaved());
    v.comments = utf8(run.Comments());
    v.summary = RunSummary(version, run, utf8);
    v.settings = Settings(run, utf8);
    const auto names = FieldNameList(run.FieldNames(), run.Separador_toString());
    v.karva = utf8(run.Karva());
    v.linking = run.LinkingFunction();
    v.formula = utf8(refhost::KarvaToFormula(run.Karva(), v.linking, names));
    for (const auto& gene : Genes(run.Karva()))
        v.genes.push_back({utf8(refhost::KarvaToFormula(gene, v.linking, names)), utf8(gene), {}});
    v.data.push_back(DataSet("Training", run.TrainValues(), run, names, utf8));
    if (CountRecords(run.ValidationValues()) > 0)
        v.data.push_back(DataSet("Test", run.ValidationValues(), run, names, utf8));
    v.history = report::ParseEvolveHistory(run.EvolveHistory());
    v.generations = run.Geracoes();
    v.maxFitness = run.MaxFitnessRun();
    if (run.Category() == 1) v.classThreshold = run.ClassThreshold();
    row.key = v.key;
    row.category = v.category;
    row.bestFitness = NumberText(run.BestFitnessRun()) + " of " + NumberText(run.MaxFitnessRun());
    row.rSquare = run.rsQuareRun() == -1 ? "n/a" : NumberText(run.rsQuareRun());
    return v;
}

void WriteText(const fs::path& target, const std::string& text) {
    std::ofstream stream(target, std::ios::binary | std::ios::trunc);
    stream << text;
    stream.close();
    if (!stream) throw ComError(75, "", "Path/File access error: " + target.string());
}

// NAME.html after the run file, kept apart from the index and from an
// earlier file of the same name.
std::string PageName(const std::string& file, std::set<std::string>& taken) {
    const std::string stem = fs::path(file).stem().string();
    std::string name = stem + ".html";
    for (int n = 2; taken.count(name) || name == "index.html"; ++n) name = stem + "-" + std::to_string(n) + ".html";
    taken.insert(name);
    return name;
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
        fs::create_directories(opts->outDir, ec);
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
                    const std::string page = PageName(file, taken);
                    WriteText(fs::path(opts->outDir) / page, report::RunPageHtml(View(file, utf8, row)));
                    row.page = page;
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
            Guarded([&] { WriteText(fs::path(opts->outDir) / "index.html", report::IndexPageHtml(index)); });
        } catch (const ComError& e) {
            FailWith(opts->outDir, e);
        }
        if (failed) throw CLI::RuntimeError(1);
    });
}

}  // namespace orv::cli
