#include "ComText.h"

#include <climits>
#include <new>

#include "common/ComError.h"

namespace orv::com {

namespace {

int CheckedLength(std::size_t n) {
    if (n > static_cast<std::size_t>(INT_MAX / 2)) throw ComError::OutOfMemory();
    return static_cast<int>(n);
}

}  // namespace

std::string AnsiFromWide(const wchar_t* text, std::size_t size) {
    const int length = CheckedLength(size);
    if (length == 0) return {};
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string AnsiFromBstr(BSTR text) { return AnsiFromWide(text, SysStringLen(text)); }

std::wstring WideFromAnsi(const std::string& text) {
    const int length = CheckedLength(text.size());
    if (length == 0) return {};
    const int chars = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(chars), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, out.data(), chars);
    return out;
}

BSTR AllocBstr(const std::string& ansi) {
    const std::wstring wide = WideFromAnsi(ansi);
    BSTR text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!text) throw std::bad_alloc();
    return text;
}

Bstr::Bstr(const std::string& ansi) : text_(AllocBstr(ansi)) {}

BSTR* Bstr::Out() noexcept {
    SysFreeString(text_);
    text_ = nullptr;
    return &text_;
}

}  // namespace orv::com
