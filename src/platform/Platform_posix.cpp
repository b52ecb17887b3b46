#include "platform/Platform.h"

#include <langinfo.h>
#include <locale.h>

#include <ctime>

namespace orv::platform {

namespace {
// A locale built from the environment as it is now (LC_ALL, LC_NUMERIC, LANG),
// so that a change of the user's settings is seen at the next call.
struct UserLocale {
    locale_t handle;
    explicit UserLocale(int mask) : handle(newlocale(mask, "", static_cast<locale_t>(0))) {}
    ~UserLocale() {
        if (handle != static_cast<locale_t>(0)) freelocale(handle);
    }
    UserLocale(const UserLocale&) = delete;
    UserLocale& operator=(const UserLocale&) = delete;
};
}  // namespace

std::string QueryUserDecimalSeparator() noexcept {
    try {
        UserLocale loc(LC_NUMERIC_MASK);
        if (loc.handle == static_cast<locale_t>(0)) return {};
        const char* radix = nl_langinfo_l(RADIXCHAR, loc.handle);
        return radix ? std::string(radix) : std::string();
    } catch (...) {
        return {};
    }
}

std::string TodayShortDate() {
    UserLocale loc(LC_TIME_MASK);
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[128] = {};
    if (loc.handle == static_cast<locale_t>(0)) {
        std::strftime(buf, sizeof buf, "%x", &tm);
    } else {
        strftime_l(buf, sizeof buf, "%x", &tm, loc.handle);
    }
    return buf;
}

}  // namespace orv::platform
