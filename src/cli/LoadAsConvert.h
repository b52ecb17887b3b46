// Loading a run file the way a conversion does: the version probe first, its
// answers turned into the public errors, then the loader.
#pragma once

#include <string>

#include "platform/FilePath.h"
#include "run_record/clsRun.h"

namespace orv::cli {

// A path given on the command line: UTF-8 on Windows (main reads the UTF-16
// command line so), the bytes as they came elsewhere.
FilePath PathArgument(const std::string& argument);

// Raises 5004 "File not found.", 5002 "Wrong file format." or 5003 "Invalid
// file." from the probe, or whatever the loader raises. The path is a
// command-line argument.
clsRun LoadAsConvert(const std::string& path);

}  // namespace orv::cli
