#include "cli/LoadAsConvert.h"

#include "common/ComError.h"
#include "legacy_file/clsFileParser.h"

namespace orv::cli {

clsRun LoadAsConvert(const std::string& path) {
    clsRun run;
    clsFileParser parser;
    const double version = parser.Version(path);
    if (version == -2) throw ComError(5004, "", "File not found.");
    if (version == -1) throw ComError(5002, "", "Wrong file format.");
    if (version == 3) throw ComError(5003, "", "Invalid file.");
    run.GravadoEmVersaoAnterior(version == 1);
    parser.LoadFile(path, run);
    return run;
}

}  // namespace orv::cli
