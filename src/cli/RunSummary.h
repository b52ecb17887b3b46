// What `info` prints about a run, as label and value pairs, for the terminal
// and for the report's pages alike.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/ComError.h"
#include "host/Encoding.h"
#include "host/ModelEvaluator.h"
#include "run_record/clsRun.h"

namespace orv::cli {

using SummaryLines = std::vector<std::pair<std::string, std::string>>;

// Labels end with ":"; those of details of the line above start with blanks.
// recomputed: the R-square texts (RecomputedText) of the training and test
// data, when the caller has computed the model on them already.
SummaryLines RunSummary(const clsRun& run, const refhost::ToUtf8& utf8,
                        const std::array<std::string, 2>* recomputed = nullptr);

// The model's outputs on data set k of the record (0 training, 1 test), its
// text read as the conversion hands it to a data set (refhost::FitOnText).
// Returns the records (eachLine as refhost::FitOnText has it); raises what
// the reading or computing raises.
std::size_t FitOnRecord(const refhost::ModelTree& model, const clsRun& record, std::size_t k,
                        const refhost::FitUse& use, bool* eachLine = nullptr);

// A recomputed R-square as `info` prints it.
std::string RecomputedText(std::size_t records, std::optional<double> rSquare);
// The same when computing raised e.
std::string RecomputedErrorText(const ComError& e);

// Records in a data text: its lines that hold more than blanks.
std::size_t CountRecords(std::string_view values);

}  // namespace orv::cli
