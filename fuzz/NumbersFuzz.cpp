// Locale-aware number and Boolean conversions. The first byte chooses the
// user's decimal separator and a data file's field separator; the rest is
// the text. Checked besides "no crash": the grammar test agrees with the
// conversion, a number read is finite, and the general form of a number
// reads back as itself.
#include <cmath>

#include "FuzzSupport.h"
#include "common/Conversions.h"
#include "upgrade/v2LocaleSettings.h"

namespace {

constexpr std::string_view kLocaleSeparators[] = {".", ",", ""};
constexpr std::string_view kFieldSeparators[] = {" ", ";", "\t", ",", ""};

// The number, or the error it raised.
struct Outcome {
    double value = 0;
    std::int32_t error = 0;
};

template <class F>
Outcome Convert(F&& f) {
    Outcome o;
    try {
        o.value = static_cast<double>(f());
    } catch (const orv::ComError& e) {
        o.error = e.Number();
    }
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string locale(kLocaleSeparators[data[0] % 3]);
    const std::string_view field = kFieldSeparators[(data[0] / 3) % 5];
    const std::string text(orv::fuzz::AsText(data + 1, size - 1));

    const Outcome number = Convert([&] { return orv::TextToDouble(text, locale); });
    ORV_FUZZ_CHECK(number.error == 0 || number.error == orv::err::kTypeMismatch || number.error == orv::err::kOverflow);
    ORV_FUZZ_CHECK(orv::IsNumericText(text, locale) == (number.error != orv::err::kTypeMismatch));
    if (number.error == 0) {
        ORV_FUZZ_CHECK(std::isfinite(number.value));
        // An empty separator cannot write a fraction; write with a point then.
        const std::string mark = locale.empty() ? "." : locale;
        const std::string written = orv::DoubleToText(number.value, mark);
        const Outcome back = Convert([&] { return orv::TextToDouble(written, mark); });
        ORV_FUZZ_CHECK(back.error == 0);
        ORV_FUZZ_CHECK(orv::DoubleToText(back.value, mark) == written);
    }

    const Outcome whole = Convert([&] { return orv::TextToLong(text, locale); });
    ORV_FUZZ_CHECK(whole.error != 0 || number.error == 0);
    const Outcome truth = Convert([&] { return orv::TextToBool(text, locale); });
    ORV_FUZZ_CHECK(truth.error == 0 || truth.error == orv::err::kTypeMismatch || truth.error == orv::err::kOverflow);
    Convert([&] { return orv::v2LocaleSettings::NumberFromText(text, locale); });

    std::string normalised = text;
    orv::v2LocaleSettings::NormaliseDecimals(normalised, field, locale);
    if (locale.size() == 1) ORV_FUZZ_CHECK(normalised.size() == text.size());
    return 0;
}
