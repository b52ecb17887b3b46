#include "common/Conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "common/ComError.h"

namespace orv {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Validates the decimal grammar and rewrites it into the C locale form that
// std::from_chars reads. Returns nothing for a text that is not a number.
std::optional<std::string> ToCanonical(std::string_view text, std::string_view sep) {
    std::size_t i = 0, n = text.size();
    while (i < n && IsBlank(text[i])) ++i;
    while (n > i && IsBlank(text[n - 1])) --n;
    std::string out;
    out.reserve(n - i + 1);
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') out.push_back('-');
        ++i;
    }
    std::size_t digits = 0;
    bool point = false;
    while (i < n) {
        if (IsDigit(text[i])) {
            out.push_back(text[i++]);
            ++digits;
        } else if (!point && !sep.empty() && text.substr(i, sep.size()) == sep) {
            out.push_back('.');
            i += sep.size();
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        out.push_back('e');
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) out.push_back(text[i++]);
        std::size_t expDigits = 0;
        while (i < n && IsDigit(text[i])) {
            out.push_back(text[i++]);
            ++expDigits;
        }
        if (expDigits == 0) return std::nullopt;
    }
    if (i != n) return std::nullopt;
    return out;
}

// Decimal order of magnitude of a canonical number that std::from_chars found
// out of range, so that a too-large value (overflow) can be told from a
// too-small one (underflow to zero) whatever mix of digits and exponent made it.
bool MagnitudeIsLarge(std::string_view canonical) {
    std::size_t i = canonical[0] == '-' ? 1 : 0;
    std::int64_t order = 0;
    bool seenNonZero = false, afterPoint = false;
    for (; i < canonical.size() && canonical[i] != 'e'; ++i) {
        const char c = canonical[i];
        if (c == '.') {
            afterPoint = true;
        } else if (!seenNonZero && c == '0') {
            if (afterPoint) --order;
        } else if (!seenNonZero) {
            seenNonZero = true;
            if (afterPoint) --order;
        } else if (!afterPoint) {
            ++order;
        }
    }
    std::int64_t exponent = 0;
    if (i < canonical.size()) {
        ++i;
        const bool negative = canonical[i] == '-';
        if (canonical[i] == '-' || canonical[i] == '+') ++i;
        // Clamped: any exponent this large is out of range already.
        for (; i < canonical.size(); ++i) exponent = std::min<std::int64_t>(exponent * 10 + (canonical[i] - '0'), 1'000'000'000);
        if (negative) exponent = -exponent;
    }
    return seenNonZero && order + exponent > 0;
}

}  // namespace

double TextToDouble(std::string_view text, std::string_view decimalSeparator) {
    auto canonical = ToCanonical(text, decimalSeparator);
    if (!canonical) throw ComError::TypeMismatch();
    double value = 0;
    const char* first = canonical->data();
    const char* last = first + canonical->size();
    auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Underflow to zero is fine; only a magnitude too large is an overflow.
        if (MagnitudeIsLarge(*canonical)) throw ComError::Overflow();
        return 0.0;
    }
    if (ec != std::errc() || ptr != last) throw ComError::TypeMismatch();
    return value;
}

bool IsNumericText(std::string_view text, std::string_view decimalSeparator) {
    return ToCanonical(text, decimalSeparator).has_value();
}

std::int32_t DoubleToLong(double value) {
    if (std::isnan(value)) throw ComError::Overflow();
    const double rounded = std::nearbyint(value);  // default rounding mode: half to even
    if (rounded < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        throw ComError::Overflow();
    return static_cast<std::int32_t>(rounded);
}

std::int32_t TextToLong(std::string_view text, std::string_view decimalSeparator) {
    return DoubleToLong(TextToDouble(text, decimalSeparator));
}

bool TextToBool(std::string_view text, std::string_view decimalSeparator) {
    auto lower = [](std::string_view t) {
        std::string s(t);
        for (auto& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    const std::string l = lower(TrimSpaces(text));
    if (l == "true") return true;
    if (l == "false") return false;
    return TextToDouble(text, decimalSeparator) != 0.0;
}

std::string DoubleToText(double value, std::string_view decimalSeparator) {
    if (value == 0.0) return "0";  // also for -0, which the platform prints as 0
    char buf[64];
    // Fifteen digits round the largest magnitudes up past the range of a
    // Double, so that the text would not read back: write those in full.
    constexpr double kLargestSafeAtFifteenDigits = 1.79769313486231e308;
    auto [ptr, ec] = std::fabs(value) > kLargestSafeAtFifteenDigits
                         ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general)
                         : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string s(buf, ec == std::errc() ? ptr : buf);
    std::string out;
    out.reserve(s.size() + 2);
    for (char c : s) {
        if (c == '.') out += decimalSeparator;
        else if (c == 'e') out += 'E';
        else out += c;
    }
    return out;
}

std::string LongToText(std::int64_t value) { return std::to_string(value); }

std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with) {
    if (what.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hit = text.find(what, pos);
        if (hit == std::string_view::npos) break;
        out.append(text, pos, hit - pos);
        out.append(with);
        pos = hit + what.size();
    }
    out.append(text, pos, std::string_view::npos);
    return out;
}

void ReplaceAllInPlace(std::string& text, char what, std::string_view with) {
    if (with.size() == 1) std::replace(text.begin(), text.end(), what, with[0]);
    else text = ReplaceAll(text, std::string_view(&what, 1), with);
}

std::string_view TrimSpaces(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    return text.substr(b, e - b);
}

}  // namespace orv
