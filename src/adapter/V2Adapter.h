// The conversion entry: checks and loads a legacy run file and transfers it
// into the host's target run.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "adapter/HostInterfaces.h"
#include "platform/FilePath.h"

namespace orv {

class clsRun;

// Public error codes of the component.
enum V2ErrorsEnum : std::int32_t {
    v2FileNotFound = 5004,
    v2InvalidFormat = 5002,
    v2InvalidFile = 5003,
    v2ErrorLoadingFile = 5005,
    v2InvalidCharInFunctionSet = 5006,
    v2InvalidRun3Qualifier = 5007,
};

class V2Adapter {
public:
    explicit V2Adapter(host::IHostFactory& factory) : factory_(factory) {}

    // pRun null stands for an object without the target-run interface:
    // error 13 after the file was loaded.
    void Convert(const FilePath& pRunFilePath, const std::shared_ptr<host::ITargetRun>& pRun);

    // Steps 1 to 4 of Convert: the version probe with its public errors, then
    // the loader (which upgrades a version-1.0 file, in upgradeFolder when one
    // is given). Answers the loaded record.
    static clsRun LoadForConversion(const FilePath& pRunFilePath, const std::filesystem::path& upgradeFolder = {});

    // The part of Convert after loading: function set, settings, data sets and
    // model of an already loaded record, in that order. Same errors as Convert.
    void TransferLoadedRun(const clsRun& run, const std::shared_ptr<host::ITargetRun>& pRun);
    // The same for a record the caller gives up: each data text is let go as
    // soon as the host has its file, so that the host loads the data set
    // without a second copy of it held here.
    void TransferLoadedRun(clsRun&& run, const std::shared_ptr<host::ITargetRun>& pRun);

private:
    void TransferRunSettings(const clsRun& run, host::ITargetRun& target);
    void SetRunValue(const std::string& key, const host::SettingValue& value, host::ITargetRun& target);
    std::shared_ptr<host::IFunctionSetObject> BuildFunctionSet(const std::string& functionSet);
    static host::FunctionEntry FindFunction(const std::string& symbol, const std::vector<host::FunctionEntry>& entries,
                                            const std::vector<std::string>& symbols);
    // releasing: the same record as run, when its texts may be let go.
    void Transfer(const clsRun& run, const std::shared_ptr<host::ITargetRun>& pRun, clsRun* releasing);
    void TransferDataSets(const clsRun& run, host::ITargetRun& target, clsRun* releasing);
    void TransferModel(const clsRun& run, const std::shared_ptr<host::ITargetRun>& target);

    host::IHostFactory& factory_;
};

}  // namespace orv
