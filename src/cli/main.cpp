// orvconvert: inspect, upgrade and convert legacy run files from the shell.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
    orv::platform::UseUtf8Console();
    const std::vector<std::string> args = orv::platform::CommandLineArguments(argc, argv);
    std::vector<const char*> argp;
    for (const auto& a : args) argp.push_back(a.c_str());
    CLI::App app{"orvconvert - inspect, upgrade and convert legacy run files", "orvconvert"};
    app.set_version_flag("--version", std::string("orvconvert ") + ORV_VERSION);
    app.require_subcommand(0, 1);
    orv::cli::AddRecordCommand(app);
    orv::cli::AddUpgradeCommand(app);
    orv::cli::AddConvertCommand(app);
    orv::cli::AddCallsCommand(app);
    orv::cli::AddInfoCommand(app);
    orv::cli::AddExportCommand(app);
    orv::cli::AddReportCommand(app);
    try {
        app.parse(static_cast<int>(argp.size()), argp.data());
    } catch (const CLI::RuntimeError& e) {
        // A command failed and has already said why.
        return e.get_exit_code();
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? 0 : 2;
    }
    if (app.get_subcommands().empty()) {
        std::cout << app.help();
    }
    return 0;
}
