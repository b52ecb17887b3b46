// The loaded run record as one JSON object: every stored property under its
// own name, then the derived properties and text forms.
#pragma once

#include <nlohmann/json.hpp>

#include "cli/Encoding.h"
#include "run_record/clsRun.h"

namespace orv::cli {

// Texts pass through toUtf8. A derived property whose getter raises is null.
nlohmann::ordered_json RecordToJson(const clsRun& run, const ToUtf8& toUtf8);

}  // namespace orv::cli
