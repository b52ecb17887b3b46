#include "platform/FilePath.h"

namespace orv {

// Paths are bytes here, whatever their encoding.
FilePath::FilePath(const std::string& ansiText) : native_(ansiText) {}

std::string FilePath::Text() const { return native_.native(); }

}  // namespace orv
