// Locale-aware numbers: the user's decimal separator and the rules that turn
// "." or "," decimal marks into it before a text is read as a number.
#pragma once

#include <string>
#include <string_view>

namespace orv::v2LocaleSettings {

// The current user's decimal separator, asked afresh at every call; the empty
// text when the system cannot tell. Never raises.
std::string DecimalSeparator();

// Replaces every "." (or, when there is none, every ",") by the user's
// separator and reads the result as a Double; 13 when it is not a number.
double NumberFromText(const std::string& text);

// Rewrites the decimal marks of a data text in place into the user's mark,
// decided once over the whole text; a "," that is the field separator stays.
void NormaliseDecimals(std::string& text, std::string_view fieldSeparator);

// The same rules with an explicit separator, for callers that already hold it.
double NumberFromText(const std::string& text, const std::string& localeSeparator);
void NormaliseDecimals(std::string& text, std::string_view fieldSeparator, const std::string& localeSeparator);

}  // namespace orv::v2LocaleSettings
