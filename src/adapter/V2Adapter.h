// The conversion entry: checks and loads a legacy run file and transfers it
// into the host's target run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "adapter/HostInterfaces.h"

namespace orv {

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
    void Convert(const std::string& pRunFilePath, const std::shared_ptr<host::ITargetRun>& pRun);

private:
    host::IHostFactory& factory_;
};

}  // namespace orv
