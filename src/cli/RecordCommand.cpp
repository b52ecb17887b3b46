// orvconvert record FILE: loads a run file as a conversion would and prints
// the record it gives.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/Encoding.h"
#include "cli/ErrorLine.h"
#include "cli/LoadAsConvert.h"
#include "cli/RecordJson.h"

namespace orv::cli {

void AddRecordCommand(CLI::App& app) {
    struct Options {
        std::string file;
        std::string encoding = "windows-1252";
    };
    auto opts = std::make_shared<Options>();
    CLI::App* cmd = app.add_subcommand("record", "Print the run record of a run file as JSON");
    cmd->add_option("FILE", opts->file, "Run file (.kvr)")->required();
    cmd->add_option("--encoding", opts->encoding, "Code page of the file's texts")
        ->capture_default_str()
        ->check(CLI::Validator(
            [](std::string& name) { return KnownEncoding(name) ? std::string() : "unknown encoding " + name; },
            "ENCODING"));
    cmd->callback([opts] {
        ReportingErrorsFor(opts->file, [&] {
            const clsRun run = LoadAsConvert(opts->file);
            const ToUtf8 toUtf8(opts->encoding);
            std::cout << RecordToJson(run, toUtf8).dump(2) << '\n';
        });
    });
}

}  // namespace orv::cli
