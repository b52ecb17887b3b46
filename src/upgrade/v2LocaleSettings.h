// Locale-aware numbers: the user's decimal separator and the rules that turn
// "." or "," decimal marks into it before a text is read as a number.
#pragma once

#include <string>
#include <string_view>

namespace orv::v2LocaleSettings {

// The current user's decimal separator; the empty text when the system
// cannot tell. Never raises. Asked afresh at every call, except inside an
// OperationSeparator, whose answer it gives.
std::string DecimalSeparator();

// Holds the user's decimal separator for one operation on this thread (a
// load, an upgrade, a data import): asked once when the outermost one is
// made, so that numbers are not each a locale query, and asked again by the
// next operation, which therefore sees a changed locale.
class OperationSeparator {
public:
    OperationSeparator();
    ~OperationSeparator();
    OperationSeparator(const OperationSeparator&) = delete;
    OperationSeparator& operator=(const OperationSeparator&) = delete;
    const std::string& Mark() const noexcept { return *mark_; }

private:
    std::string own_;
    const std::string* mark_;
    bool outermost_;
};

// Replaces every "." (or, when there is none, every ",") by the user's
// separator and reads the result as a Double; 13 when it is not a number.
double NumberFromText(std::string_view text);

// Rewrites the decimal marks of a data text in place into the user's mark,
// decided once over the whole text; a "," that is the field separator stays.
void NormaliseDecimals(std::string& text, std::string_view fieldSeparator);

// The same rules with an explicit separator, for callers that already hold it
// (and know, when mayHoldComma is false, that the text has no ",").
double NumberFromText(std::string_view text, std::string_view localeSeparator);
void NormaliseDecimals(std::string& text, std::string_view fieldSeparator, std::string_view localeSeparator,
                       bool mayHoldComma = true);

}  // namespace orv::v2LocaleSettings
