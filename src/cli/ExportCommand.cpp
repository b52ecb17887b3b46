// orvconvert export FILE: the converted run's data sets as CSV files, and its
// best model as a program of another language.
#include <CLI/CLI.hpp>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/ConvertedRun.h"
#include "cli/ErrorLine.h"
#include "cli/LoadAsConvert.h"
#include "host/Encoding.h"
#include "host/Karva.h"
#include "host/ModelCode.h"

namespace orv::cli {
namespace {

// A field as RFC 4180 wants it: quoted when it holds a comma, a quote or a
// line break, with its quotes doubled.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

// The shortest text that reads back as the same number, with "." whatever
// the user's locale.
std::string CsvNumber(double value) {
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, ec == std::errc() ? end : buf);
}

void WriteCsv(const std::filesystem::path& file, const std::vector<std::string>& header,
              const refhost::DataSet& data) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::string line;
    auto flush = [&] {
        line += "\r\n";
        out << line;
        line.clear();
    };
    for (const auto& name : header) line += (line.empty() ? "" : ",") + CsvField(name);
    flush();
    for (std::size_t r = 0; r < data.RecordCount(); ++r) {
        for (const double v : data.Record(r)) line += (line.empty() ? "" : ",") + CsvNumber(v);
        flush();
    }
    out.close();
    if (!out) throw ComError(75, "", "Path/File access error: " + file.string());
}

void ExportData(const std::string& file, const ConvertedRun& converted, const std::string& dir,
                const refhost::ToUtf8& utf8) {
    std::vector<std::string> header;
    for (const auto& name : ColumnNames(converted)) header.push_back(utf8(name));
    const std::filesystem::path folder = PathArgument(dir).Native();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    WriteCsv(folder / "train.csv", header, converted.run->Data(1));
    // The conversion goes on without test data it cannot read; say so here.
    const auto& test = converted.run->Data(2);
    if (test.Loaded() && test.RecordCount() > 0) WriteCsv(folder / "test.csv", header, test);
    else if (!converted.record.ValidationValues().empty() && !test.Loaded())
        std::cerr << "orvconvert: " << file << ": the test data cannot be read; no test.csv\n";
}

void ExportModel(const ConvertedRun& converted, const std::string& language, const refhost::ToUtf8& utf8) {
    refhost::ModelCodeContext context;
    context.run = utf8(converted.record.Key());
    for (const auto& name : ColumnNames(converted)) context.terminalNames.push_back(utf8(name));
    context.target = context.terminalNames.back();
    context.terminalNames.pop_back();
    const auto model = refhost::DecodeModel(converted.record.Karva(), converted.record.LinkingFunction());
    std::cout << refhost::ModelCode(model, language, context);
}

}  // namespace

void AddExportCommand(CLI::App& app) {
    struct Options {
        FileOptions file;
        std::string dataDir;
        std::string language;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* cmd = app.add_subcommand("export", "Write the run's data sets as CSV, or print its best model as code");
    cmd->add_option("FILE", opts->file.file, "Run file (.kvr)")->required();
    auto* data = cmd->add_option("--data", opts->dataDir, "Folder for train.csv, and test.csv when the run has test data");
    auto* model = cmd->add_option("--model", opts->language, "Print the best model as a program in LANG")
                      ->check(CLI::IsMember(refhost::CodeLanguages()))
                      ->type_name("LANG");
    AddEncodingOption(*cmd, opts->file.encoding);
    cmd->callback([opts, data, model] {
        if (data->count() == 0 && model->count() == 0) throw CLI::RequiredError("--data or --model");
        ReportingErrorsFor(opts->file.file, [&] {
            const refhost::ToUtf8 utf8(opts->file.encoding);
            const ConvertedRun converted = ConvertRun(opts->file.file);
            if (!opts->dataDir.empty()) ExportData(opts->file.file, converted, opts->dataDir, utf8);
            if (!opts->language.empty()) ExportModel(converted, opts->language, utf8);
        });
    });
}

}  // namespace orv::cli
