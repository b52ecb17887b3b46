// The version-1.0 upgrade of a file of arbitrary bytes. An upgrade that
// succeeds has written a version-2.0 file of its own, and the loader must
// take that file.
#include "FuzzSupport.h"
#include "legacy_file/clsFileParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const orv::fuzz::ScratchFile file("upgrade.kvr");
    const std::string& path = file.Write(data, size);
    orv::clsFileParser parser;
    orv::clsRun run;
    orv::FilePath upgraded;
    if (orv::fuzz::RaisesComError([&] { upgraded = parser.ConvertOldRun(path, run); })) return 0;
    ORV_FUZZ_CHECK(run.GravadoEmVersaoAnterior());
    // The upgraded file stays ours until the first parser lets its folder go.
    orv::clsFileParser loader;
    orv::clsRun loaded;
    loader.LoadFile(upgraded, loaded);
    return 0;
}
