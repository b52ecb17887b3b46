#include "upgrade/v2LocaleSettings.h"

#include "common/Conversions.h"
#include "platform/Platform.h"

namespace orv::v2LocaleSettings {

std::string DecimalSeparator() { return platform::QueryUserDecimalSeparator(); }

double NumberFromText(const std::string& text) { return NumberFromText(text, DecimalSeparator()); }

double NumberFromText(const std::string& text, const std::string& localeSeparator) {
    // Only one of the two marks is ever replaced: "." wins over ",".
    if (text.find('.') != std::string::npos)
        return TextToDouble(ReplaceAll(text, ".", localeSeparator), localeSeparator);
    if (text.find(',') != std::string::npos)
        return TextToDouble(ReplaceAll(text, ",", localeSeparator), localeSeparator);
    return TextToDouble(text, localeSeparator);
}

void NormaliseDecimals(std::string& text, std::string_view fieldSeparator) {
    NormaliseDecimals(text, fieldSeparator, DecimalSeparator());
}

void NormaliseDecimals(std::string& text, std::string_view fieldSeparator, const std::string& localeSeparator) {
    if (text.find('.') != std::string::npos && localeSeparator != ".") {
        ReplaceAllInPlace(text, '.', localeSeparator);
        return;
    }
    if (text.find(',') != std::string::npos && localeSeparator != "," && fieldSeparator != ",")
        ReplaceAllInPlace(text, ',', localeSeparator);
}

}  // namespace orv::v2LocaleSettings
