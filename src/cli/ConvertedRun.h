// A run file converted into the reference host, for the commands that work
// on what a conversion gives: the data sets as numbers and the best model.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/Encoding.h"
#include "host/ReferenceHost.h"
#include "run_record/clsRun.h"

namespace orv::cli {

struct ConvertedRun {
    clsRun record;
    refhost::ReferenceHost host;
    std::shared_ptr<refhost::Run> run;
};

// Loads the file as a conversion does and transfers the record into a new
// reference host. Raises what the conversion raises.
ConvertedRun ConvertRun(const std::string& file);

// How the data sets reach the host: through files on the disk, as a COM
// host gets them, or kept in memory, the record giving its data texts up to
// the host (it holds none afterwards).
enum class DataHandOver { Files, InMemory };

// Transfers an already loaded record.
ConvertedRun ConvertRecord(clsRun record, DataHandOver how = DataHandOver::Files);

// One name per column of the training data, in the file's code page: the
// run's field names, or x1..xn and y when it has none that fit.
std::vector<std::string> ColumnNames(const ConvertedRun& converted);

// Writes the run as convert's JSON into the file out (a command-line
// argument); raises 75 when it cannot.
void WriteRunJsonFile(const std::string& out, const refhost::Run& run, const refhost::ToUtf8& toUtf8);

// Field names are stored split by spaces or by the data separator.
std::vector<std::string> FieldNameList(const std::string& text, const std::string& separator);

}  // namespace orv::cli
