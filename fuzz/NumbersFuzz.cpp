// Locale-aware number and Boolean conversions. The first byte chooses the
// user's decimal separator and a data file's field separator; the rest is
// the text. Checked besides "no crash": the grammar test agrees with the
// conversion, a number read is finite, and the general form of a number
// reads back as itself.
#include <cmath>

#include "FuzzSupport.h"
#include "common/Conversions.h"
#include "upgrade/v2LocaleSettings.h"

using orv::fuzz::ComErrorOf;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    constexpr std::string_view kLocaleSeparators[] = {".", ",", ""}, kFieldSeparators[] = {" ", ";", "\t", ",", ""};
    const std::string locale(kLocaleSeparators[data[0] % 3]);
    const std::string text(orv::fuzz::AsText(data + 1, size - 1));
    const auto readable = [](std::int32_t error) { return error == 0 || error == orv::err::kTypeMismatch || error == orv::err::kOverflow; };

    double number = 0, back = 0;
    const std::int32_t error = ComErrorOf([&] { number = orv::TextToDouble(text, locale); });
    ORV_FUZZ_CHECK(readable(error));
    ORV_FUZZ_CHECK(orv::IsNumericText(text, locale) == (error != orv::err::kTypeMismatch));
    if (error == 0) {
        ORV_FUZZ_CHECK(std::isfinite(number));
        // An empty separator cannot write a fraction; write with a point then.
        const std::string mark = locale.empty() ? "." : locale;
        const std::string written = orv::DoubleToText(number, mark);
        ORV_FUZZ_CHECK(ComErrorOf([&] { back = orv::TextToDouble(written, mark); }) == 0);
        ORV_FUZZ_CHECK(orv::DoubleToText(back, mark) == written);
    }

    ORV_FUZZ_CHECK(ComErrorOf([&] { orv::TextToLong(text, locale); }) != 0 || error == 0);
    ORV_FUZZ_CHECK(readable(ComErrorOf([&] { orv::TextToBool(text, locale); })));
    ComErrorOf([&] { orv::v2LocaleSettings::NumberFromText(text, locale); });

    std::string normalised = text;
    orv::v2LocaleSettings::NormaliseDecimals(normalised, kFieldSeparators[(data[0] / 3) % 5], locale);
    ORV_FUZZ_CHECK(locale.size() != 1 || normalised.size() == text.size());
    return 0;
}
