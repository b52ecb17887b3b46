// The version-1.0 upgrade of a file of arbitrary bytes. An upgrade that
// succeeds has written a version-2.0 file of its own, and the loader must
// take that file.
#include "FuzzSupport.h"
#include "legacy_file/clsFileParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    orv::clsFileParser parser;
    orv::clsRun run, loaded;
    orv::FilePath upgraded;
    if (orv::fuzz::RaisesComError([&] { upgraded = parser.ConvertOldRun(orv::fuzz::AsFile(data, size), run); })) return 0;
    ORV_FUZZ_CHECK(run.GravadoEmVersaoAnterior());
    // The upgraded file stays ours until the first parser lets its folder go.
    orv::clsFileParser().LoadFile(upgraded, loaded);
    return 0;
}
