#include <CLI/CLI.hpp>

#include <memory>

#include "cli/Commands.h"
#include "host/Encoding.h"

namespace orv::cli {

void AddEncodingOption(CLI::App& cmd, std::string& encoding) {
    cmd.add_option("--encoding", encoding, "Code page of the file's texts")
        ->capture_default_str()
        ->check(CLI::Validator(
            [](std::string& name) {
                return refhost::KnownEncoding(name) ? std::string() : "unknown encoding " + name;
            },
            "ENCODING"));
}

void AddFileCommand(CLI::App& app, const char* name, const char* description,
                    std::function<void(const FileOptions&)> run) {
    auto opts = std::make_shared<FileOptions>();
    CLI::App* cmd = app.add_subcommand(name, description);
    cmd->add_option("FILE", opts->file, "Run file (.kvr)")->required();
    AddEncodingOption(*cmd, opts->encoding);
    cmd->callback([opts, run = std::move(run)] { run(*opts); });
}

}  // namespace orv::cli
