// orvconvert record FILE: loads a run file as a conversion would and prints
// the record it gives.
#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/Commands.h"
#include "cli/ErrorLine.h"
#include "cli/LoadAsConvert.h"
#include "cli/RecordJson.h"
#include "host/Encoding.h"

namespace orv::cli {

void AddRecordCommand(CLI::App& app) {
    AddFileCommand(app, "record", "Print the run record of a run file as JSON", [](const FileOptions& opts) {
        ReportingErrorsFor(opts.file, [&] {
            const clsRun run = LoadAsConvert(opts.file);
            std::cout << RecordToJson(run, refhost::ToUtf8(opts.encoding)).dump(2) << '\n';
        });
    });
}

}  // namespace orv::cli
