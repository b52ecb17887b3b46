// Running the built orvconvert as a user would.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

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

}  // namespace orv
