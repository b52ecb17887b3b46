#include "common/ComError.h"
#include "legacy_file/RunFileIO.h"
#include "legacy_file/clsFileParser.h"

namespace orv {
namespace {
// Longer than any first or second line the probe accepts, so that a foreign
// file with an endless first line is judged without holding it in memory.
constexpr std::size_t kProbeLength = 64;
}  // namespace

double clsFileParser::Version(const FilePath& path) const {
    return Guarded([&] {
        if (!runfile::FileExists(path)) return -2.0;
        runfile::LineReader in(path);
        const String first = in.ReadLine(kProbeLength);
        if (first == "<Zolvane><ORV 1.00>" || first == "<Zolvane><ORVae 1.00>") return 1.0;
        if (first != "<ORV>") return -1.0;
        return in.ReadLine(kProbeLength) == "<VERSION>2.0</VERSION>" ? 2.0 : 3.0;
    });
}

}  // namespace orv
