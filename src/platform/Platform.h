// The few operating-system services the core needs, behind one small surface
// so that no Windows header reaches the core.
#pragma once

#include <string>

namespace orv::platform {

// The current user's decimal separator as the operating system reports it
// right now; the empty text when it cannot tell. Never throws.
std::string QueryUserDecimalSeparator() noexcept;

// The user's short-date form of today's date, as the system would show it.
std::string TodayShortDate();

}  // namespace orv::platform
