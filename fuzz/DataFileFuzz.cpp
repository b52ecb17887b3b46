// The import of a data file. The first byte chooses how: whether a names
// line is expected, which set (2 is neither), and the separator code (4 is
// none of the four); the rest is the file.
#include <algorithm>

#include "FuzzSupport.h"
#include "legacy_file/clsFileParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const orv::fuzz::ScratchFile file("data.txt");
    const std::string& path = file.Write(data + 1, size - 1);
    const bool names = (data[0] & 1) != 0;
    const orv::Long set = ((data[0] >> 1) & 3) % 3;
    const orv::Long separator = (data[0] >> 3) % 5;

    orv::clsFileParser parser;
    orv::clsRun run;
    run.FieldNamesExistem(names);
    bool stored = false;
    const bool failed = orv::fuzz::RaisesComError([&] { stored = parser.OpenDataFile(path, set, separator, run); });
    if (failed || !stored) return 0;
    // Every record counted lies in the stored text: at least as many lines.
    const orv::String& text = set == 1 ? run.ValidationValues() : run.TrainValues();
    ORV_FUZZ_CHECK(parser.NumeroValoresFicheiro() >= 1);
    if (set != 2) {
        const auto lines = static_cast<orv::Long>(std::count(text.begin(), text.end(), '\r')) + 1;
        ORV_FUZZ_CHECK(lines >= parser.NumeroValoresFicheiro());
    }
    return 0;
}
