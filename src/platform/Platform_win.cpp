#include "platform/Platform.h"

#include <windows.h>

namespace orv::platform {

std::string QueryUserDecimalSeparator() noexcept {
    try {
        char buffer[128] = {};
        const int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 128);
        if (n > 0) return std::string(buffer, static_cast<std::size_t>(n - 1));
        return {};
    } catch (...) {
        return {};  // the query never raises
    }
}

std::string TodayShortDate() {
    char buffer[128] = {};
    const int n = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer, 128);
    if (n > 0) return std::string(buffer, static_cast<std::size_t>(n - 1));
    return {};
}

}  // namespace orv::platform
