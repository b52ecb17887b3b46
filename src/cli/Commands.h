// The subcommands of orvconvert: one function per command, each defined in
// its own file, adds the command and its options to the application.
#pragma once

#include <functional>
#include <string>

namespace CLI {
class App;
}

namespace orv::cli {

void AddRecordCommand(CLI::App& app);
void AddUpgradeCommand(CLI::App& app);
void AddConvertCommand(CLI::App& app);
void AddCallsCommand(CLI::App& app);
void AddInfoCommand(CLI::App& app);
void AddExportCommand(CLI::App& app);
void AddReportCommand(CLI::App& app);

// --encoding: the code page of the file's texts, checked against the system's
// converters; encoding keeps its value as the default.
void AddEncodingOption(CLI::App& cmd, std::string& encoding);

// What a one-file command is given: the run file and the code page of its texts.
struct FileOptions {
    std::string file;
    std::string encoding = "windows-1252";
};

// Adds a subcommand taking one run file and --encoding; run gets them.
void AddFileCommand(CLI::App& app, const char* name, const char* description,
                    std::function<void(const FileOptions&)> run);

}  // namespace orv::cli
