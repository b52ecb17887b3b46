// Loading a run file the way a conversion does: the version probe first, its
// answers turned into the public errors, then the loader.
#pragma once

#include <string>

#include "run_record/clsRun.h"

namespace orv::cli {

// Raises 5004 "File not found.", 5002 "Wrong file format." or 5003 "Invalid
// file." from the probe, or whatever the loader raises.
clsRun LoadAsConvert(const std::string& path);

}  // namespace orv::cli
