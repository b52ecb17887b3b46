// What `info` prints about a run, as label and value pairs, for the terminal
// and for the report's pages alike.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/Encoding.h"
#include "run_record/clsRun.h"

namespace orv::cli {

using SummaryLines = std::vector<std::pair<std::string, std::string>>;

// version is the file's format version as the loader probed it (1 or 2).
// Labels end with ":"; those of details of the line above start with blanks.
SummaryLines RunSummary(double version, const clsRun& run, const refhost::ToUtf8& utf8);

// Records in a data text: its lines that hold more than blanks.
std::size_t CountRecords(std::string_view values);

}  // namespace orv::cli
