// Running the built orvconvert as a user would, and the tables that drive it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "support/TestSupport.h"

namespace orv {

struct Result { int status; std::string out, err; };

inline std::string Quoted(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// Runs orvconvert with the arguments (already quoted for the shell).
inline Result Orvconvert(const std::string& args) {
    test::TempDir dir;
    const auto out = dir.path() / "out", err = dir.path() / "err";
    const int raw = std::system((ORV_CLI_BINARY " " + args + " >" + Quoted(out) + " 2>" + Quoted(err)).c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::ReadAll(out), test::ReadAll(err)};
}

// A row of a table in this folder: its fields, split at " | ", and where it
// stands, "file:line: text", for failure messages.
struct Row { std::vector<std::string> fields; std::string where; };

// "#" starts a comment line, and "  #" a note at the end of a row.
inline std::vector<Row> ReadTable(const std::string& name) {
    std::ifstream in(std::filesystem::path(ORV_SOURCE_DIR) / "tests" / "cli" / name);
    if (!in) ADD_FAILURE() << "cannot read " << name;
    std::vector<Row> rows;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        line = line.substr(0, line.find("  #"));
        if (line.empty() || line[0] == '#') continue;
        Row row{{}, name + ":" + std::to_string(number) + ": " + line};
        for (std::size_t from = 0, bar = 0; bar != std::string::npos; from = bar + 3) {
            bar = line.find(" | ", from);
            row.fields.push_back(line.substr(from, bar == std::string::npos ? bar : bar - from));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace orv
