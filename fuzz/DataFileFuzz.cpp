// The import of a data file. The first byte chooses how: whether a names
// line is expected, which set (2 is neither), and the separator code (4 is
// none of the four); the rest is the file.
#include <algorithm>

#include "FuzzSupport.h"
#include "legacy_file/clsFileParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const orv::Long set = ((data[0] >> 1) & 3) % 3;
    orv::clsFileParser parser;
    orv::clsRun run;
    run.FieldNamesExistem((data[0] & 1) != 0);
    bool stored = false;
    const std::string& path = orv::fuzz::AsFile(data + 1, size - 1);
    if (orv::fuzz::RaisesComError([&] { stored = parser.OpenDataFile(path, set, (data[0] >> 3) % 5, run); }) || !stored)
        return 0;
    // Every record counted lies in the stored text: at least as many lines.
    const orv::String& text = set == 1 ? run.ValidationValues() : run.TrainValues();
    ORV_FUZZ_CHECK(parser.NumeroValoresFicheiro() >= 1);
    ORV_FUZZ_CHECK(set == 2 || static_cast<orv::Long>(std::count(text.begin(), text.end(), '\r')) + 1 >= parser.NumeroValoresFicheiro());
    return 0;
}
