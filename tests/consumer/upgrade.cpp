// Loads a run file as a conversion does and saves it as a version-2.0 file
// (arguments: the file, the new file), with the core and the adapter only.
#include "adapter/V2Adapter.h"
#include "legacy_file/clsFileParser.h"

int main(int, char** argv) {
    orv::clsFileParser().SaveKvr(argv[2], orv::V2Adapter::LoadForConversion(argv[1]));
}
