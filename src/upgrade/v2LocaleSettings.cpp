#include "upgrade/v2LocaleSettings.h"

#include "common/Conversions.h"
#include "platform/Platform.h"

namespace orv::v2LocaleSettings {
namespace {

thread_local const std::string* operationMark = nullptr;

// A character that means something else to the number grammar.
bool HasOtherMeaning(char c) {
    return (c >= '0' && c <= '9') || c == ' ' || c == '\t' || c == '+' || c == '-' || c == 'e' || c == 'E';
}

}  // namespace

std::string DecimalSeparator() {
    return operationMark != nullptr ? *operationMark : platform::QueryUserDecimalSeparator();
}

OperationSeparator::OperationSeparator() : mark_(operationMark), outermost_(operationMark == nullptr) {
    if (!outermost_) return;
    own_ = platform::QueryUserDecimalSeparator();
    mark_ = &own_;
    operationMark = mark_;
}

OperationSeparator::~OperationSeparator() {
    if (outermost_) operationMark = nullptr;
}

double NumberFromText(std::string_view text) { return NumberFromText(text, DecimalSeparator()); }

double NumberFromText(std::string_view text, std::string_view localeSeparator) {
    // Only one of the two marks is ever replaced: "." wins over ",".
    const char locale = localeSeparator.size() == 1 ? localeSeparator[0] : '\0';
    bool point = false, comma = false, localeMark = false;
    for (const char c : text) {
        point = point || c == '.';
        comma = comma || c == ',';
        localeMark = localeMark || c == locale;
    }
    const char mark = point ? '.' : comma ? ',' : '\0';
    if (mark == 0) return TextToDouble(text, localeSeparator);
    // Reading the mark itself as the separator gives what the replacement
    // would, as long as the locale's one-character mark is not in the text
    // already and means nothing else to a number; no copy then.
    const bool inPlace = localeSeparator.size() == 1 &&
                         (locale == mark || (!localeMark && !HasOtherMeaning(locale)));
    if (inPlace) return TextToDouble(text, std::string_view(&mark, 1));
    return TextToDouble(ReplaceAll(text, std::string_view(&mark, 1), localeSeparator), localeSeparator);
}

void NormaliseDecimals(std::string& text, std::string_view fieldSeparator) {
    NormaliseDecimals(text, fieldSeparator, DecimalSeparator());
}

void NormaliseDecimals(std::string& text, std::string_view fieldSeparator, std::string_view localeSeparator,
                       bool mayHoldComma) {
    if (localeSeparator != "." && text.find('.') != std::string::npos) {
        ReplaceAllInPlace(text, '.', localeSeparator);
        return;
    }
    if (mayHoldComma && localeSeparator != "," && fieldSeparator != "," && text.find(',') != std::string::npos)
        ReplaceAllInPlace(text, ',', localeSeparator);
}

}  // namespace orv::v2LocaleSettings
