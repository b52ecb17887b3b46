// The version probe, then the version-2.0 loader, on a file of arbitrary
// bytes. The loader is run whatever the probe answers (never upgrading), so
// that files with a damaged header still reach the RUN block and values.
#include "FuzzSupport.h"
#include "legacy_file/clsFileParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = orv::fuzz::AsFile(data, size);
    orv::clsFileParser parser;
    // The probe raises the file errors (an empty file is input past its end).
    double version = -1;
    orv::fuzz::RaisesComError([&] { version = parser.Version(path); });
    ORV_FUZZ_CHECK(version == -1 || version == 1 || version == 2 || version == 3);
    orv::clsRun run;
    orv::fuzz::RaisesComError([&] { parser.LoadFile(path, run); });
    return 0;
}
