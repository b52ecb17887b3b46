#include "cli/LoadAsConvert.h"

#include <filesystem>

#include "adapter/V2Adapter.h"

namespace orv::cli {

// A char8_t text is UTF-8 to std::filesystem on Windows and bytes elsewhere.
FilePath PathArgument(const std::string& argument) {
    return std::filesystem::path(std::u8string(argument.begin(), argument.end()));
}

clsRun LoadAsConvert(const std::string& path) { return V2Adapter::LoadForConversion(PathArgument(path)); }

}  // namespace orv::cli
