#include "cli/ErrorLine.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace orv::cli {

std::string ErrorLine(const std::string& file, const ComError& e) {
    std::string line = "orvconvert: " + file + ": error " + std::to_string(e.Number()) + ": " + e.Description();
    if (!e.Source().empty()) line += " [" + e.Source() + "]";
    return line;
}

void FailWith(const std::string& file, const ComError& e) {
    std::cerr << ErrorLine(file, e) << '\n';
    throw CLI::RuntimeError(1);
}

}  // namespace orv::cli
