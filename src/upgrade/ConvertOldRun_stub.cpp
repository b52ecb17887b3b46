// Stand-in until the version-1.0 upgrade is built: loading such a file fails
// with a clear error instead of failing to link.
#include "common/ComError.h"
#include "legacy_file/clsFileParser.h"

namespace orv {

String clsFileParser::ConvertOldRun(const String& /*Path*/, clsRun& /*theRun*/) {
    throw ComError(5005, "clsFileParser", "Error loading kvr file. Version-1.0 files cannot be upgraded yet.");
}

}  // namespace orv
