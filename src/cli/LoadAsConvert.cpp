#include "cli/LoadAsConvert.h"

#include "adapter/V2Adapter.h"

namespace orv::cli {

clsRun LoadAsConvert(const std::string& path) { return V2Adapter::LoadForConversion(path); }

}  // namespace orv::cli
