// orvconvert convert FILE...: converts run files into the reference host and
// writes each resulting version-3 run as JSON.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "adapter/V2Adapter.h"
#include "cli/Commands.h"
#include "cli/ConvertedRun.h"
#include "cli/ErrorLine.h"
#include "cli/LoadAsConvert.h"
#include "cli/Progress.h"
#include "host/HostJson.h"
#include "platform/Platform.h"

namespace orv::cli {
namespace {

// Converts the file into a reference host and writes the run as JSON to
// standard output ("" or "-") or to the file out.
void ConvertToJson(const std::string& file, const refhost::ToUtf8& toUtf8, const std::string& out) {
    // The data files stay in memory: the values are not written to the disk
    // and read back.
    refhost::ReferenceHost host(refhost::TempFolder::InMemory{});
    auto run = host.CreateRun();
    V2Adapter(host).Convert(PathArgument(file), run);
    if (out.empty() || out == "-") {
        platform::WidenOutputPipe();
        refhost::WriteRunJson(std::cout, *run, toUtf8);
        std::cout << '\n';
        return;
    }
    WriteRunJsonFile(out, *run, toUtf8);
}

}  // namespace

void AddConvertCommand(CLI::App& app) {
    struct Options {
        std::vector<std::string> files;
        std::string out;
        std::string outDir;
        std::string encoding = "windows-1252";
    };
    auto opts = std::make_shared<Options>();
    CLI::App* cmd = app.add_subcommand("convert", "Convert run files into the reference host and write the runs as JSON");
    cmd->add_option("FILE", opts->files, "Run files (.kvr)")->required();
    auto* out = cmd->add_option("-o,--output", opts->out, "JSON file to write (one FILE only; default: stdout)");
    cmd->add_option("--out-dir", opts->outDir, "Folder for one FILE.json per FILE")->excludes(out);
    AddEncodingOption(*cmd, opts->encoding);
    cmd->callback([opts] {
        if (opts->files.size() > 1 && opts->outDir.empty())
            throw CLI::ValidationError("--out-dir", "several files need --out-dir");
        const refhost::ToUtf8 toUtf8(opts->encoding);
        if (opts->outDir.empty()) {
            const std::string& file = opts->files.front();
            ReportingErrorsFor(file, [&] { ConvertToJson(file, toUtf8, opts->out); });
            return;
        }
        std::error_code ec;
        const std::filesystem::path outDir = PathArgument(opts->outDir).Native();
        std::filesystem::create_directories(outDir, ec);
        const Progress progress(opts->files.size());
        bool failed = false;
        for (std::size_t i = 0; i < opts->files.size(); ++i) {
            const std::string& file = opts->files[i];
            progress.Show(i, file);
            try {
                Guarded([&] {
                    // string() is UTF-8 on Windows, as the arguments are.
                    const auto target = outDir / PathArgument(file).Native().filename().replace_extension(".json");
                    ConvertToJson(file, toUtf8, target.string());
                });
            } catch (const ComError& e) {
                progress.Clear();
                std::cerr << ErrorLine(file, e) << '\n';
                failed = true;
            }
        }
        progress.Show(opts->files.size(), "");
        progress.Clear();
        if (failed) throw CLI::RuntimeError(1);
    });
}

}  // namespace orv::cli
