#include "platform/FilePath.h"

#include <windows.h>

#include <climits>

#include "common/ComError.h"

namespace orv {
namespace {

int CheckedLength(std::size_t n) {
    if (n > static_cast<std::size_t>(INT_MAX / 2)) throw ComError::OutOfMemory();
    return static_cast<int>(n);
}

}  // namespace

FilePath::FilePath(const std::string& ansiText) {
    const int length = CheckedLength(ansiText.size());
    if (length == 0) return;
    const int chars = MultiByteToWideChar(CP_ACP, 0, ansiText.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(chars), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansiText.data(), length, wide.data(), chars);
    native_ = std::move(wide);
}

std::string FilePath::Text() const {
    const std::wstring& wide = native_.native();
    const int length = CheckedLength(wide.size());
    if (length == 0) return {};
    // No best fit: a look-alike letter could name another file, "?" names
    // none. (A UTF-8 code page holds every character and takes no flags.)
    const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int bytes = WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), length, ansi.data(), bytes, nullptr, nullptr);
    return ansi;
}

}  // namespace orv
