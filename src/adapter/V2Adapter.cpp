#include "adapter/V2Adapter.h"

#include "common/ComError.h"
#include "legacy_file/clsFileParser.h"
#include "run_record/clsRun.h"

namespace orv {

clsRun V2Adapter::LoadForConversion(const FilePath& pRunFilePath, const std::filesystem::path& upgradeFolder) {
    const FilePath path = pRunFilePath;
    clsRun run;
    clsFileParser parser;
    parser.UpgradeIn(upgradeFolder);

    const double version = parser.Version(path);
    if (version == -2) throw ComError(v2FileNotFound, "", "File not found.");
    if (version == -1) throw ComError(v2InvalidFormat, "", "Wrong file format.");
    if (version == 3) throw ComError(v2InvalidFile, "", "Invalid file.");
    run.GravadoEmVersaoAnterior(version == 1);

    // The loader raises its own errors; a plain false answer would be the
    // only case left for the public load error.
    if (!parser.LoadFile(path, run)) throw ComError(v2ErrorLoadingFile, "", "Error loading kvr file.");
    return run;
}

void V2Adapter::Convert(const FilePath& pRunFilePath, const std::shared_ptr<host::ITargetRun>& pRun) {
    Guarded([&] {
        TransferLoadedRun(LoadForConversion(pRunFilePath), pRun);
    });
}

}  // namespace orv
