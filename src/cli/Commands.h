// The subcommands of orvconvert: one function per command, each defined in
// its own file, adds the command and its options to the application.
#pragma once

namespace CLI {
class App;
}

namespace orv::cli {

void AddRecordCommand(CLI::App& app);
void AddUpgradeCommand(CLI::App& app);
void AddConvertCommand(CLI::App& app);
void AddCallsCommand(CLI::App& app);
void AddInfoCommand(CLI::App& app);

}  // namespace orv::cli
