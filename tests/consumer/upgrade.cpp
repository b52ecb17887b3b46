// Loads a run file as a conversion does and saves it as a version-2.0 file,
// with the core and the adapter only.
#include <iostream>

#include "adapter/V2Adapter.h"
#include "common/ComError.h"
#include "legacy_file/clsFileParser.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: orv_consumer_upgrade FILE OUT\n";
        return 2;
    }
    try {
        const orv::clsRun run = orv::V2Adapter::LoadForConversion(argv[1]);
        orv::clsFileParser().SaveKvr(argv[2], run);
    } catch (const orv::ComError& e) {
        std::cerr << argv[1] << ": error " << e.Number() << ": " << e.Description() << '\n';
        return 1;
    }
    return 0;
}
