// orvconvert upgrade FILE -o OUT: loads a run file as a conversion would and
// saves it as a version-2.0 run file.
#include <CLI/CLI.hpp>

#include <memory>

#include "cli/Commands.h"
#include "cli/ErrorLine.h"
#include "cli/LoadAsConvert.h"
#include "legacy_file/clsFileParser.h"

namespace orv::cli {

void AddUpgradeCommand(CLI::App& app) {
    struct Options {
        std::string file;
        std::string out;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* cmd = app.add_subcommand("upgrade", "Save a run file (version 1.0 or 2.0) as a version-2.0 run file");
    cmd->add_option("FILE", opts->file, "Run file (.kvr)")->required();
    cmd->add_option("-o,--output", opts->out, "File to write; \".kvr\" is appended unless it ends so")->required();
    cmd->callback([opts] {
        ReportingErrorsFor(opts->file, [&] {
            const clsRun run = LoadAsConvert(opts->file);
            clsFileParser().SaveKvr(PathArgument(opts->out), run);
        });
    });
}

}  // namespace orv::cli
