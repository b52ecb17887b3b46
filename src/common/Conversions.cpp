#include "common/Conversions.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

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


constexpr int kMaxExactPower = 22;
constexpr std::uint64_t kMaxExactMantissa = std::uint64_t{1} << 53;

// The decimal grammar of ToCanonical, checked where the text lies. Short
// numbers (at most 2^53 in their digits, at most 22 decimal places or powers)
// are read on the way; the rest goes through ToCanonical and std::from_chars.
struct ScannedNumber {
    bool valid = false;
    bool exact = false;  // value holds the number
    double value = 0;
};

ScannedNumber ScanNumber(std::string_view text, std::string_view sep) {
    ScannedNumber out;
    std::size_t i = 0, n = text.size();
    while (i < n && IsBlank(text[i])) ++i;
    while (n > i && IsBlank(text[n - 1])) --n;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::uint64_t mantissa = 0;
    int significant = 0, fraction = 0;
    bool digits = false, point = false;
    while (i < n) {
        const char c = text[i];
        if (IsDigit(c)) {
            digits = true;
            if (point) ++fraction;
            if (significant > 0 || c != '0') {
                if (++significant <= 19) mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
            }
            ++i;
        } else if (!point && !sep.empty() &&
                   (sep.size() == 1 ? c == sep[0] : text.compare(i, sep.size(), sep) == 0)) {
            point = true;
            i += sep.size();
        } else {
            break;
        }
    }
    if (!digits) return out;
    std::int64_t exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
        const std::size_t first = i;
        for (; i < n && IsDigit(text[i]); ++i) exponent = std::min<std::int64_t>(exponent * 10 + (text[i] - '0'), 1'000'000);
        if (i == first) return out;
        if (negativeExponent) exponent = -exponent;
    }
    if (i != n) return out;
    out.valid = true;
    const std::int64_t power = exponent - fraction;
    if (!kExactArithmetic || significant > 19 || mantissa > kMaxExactMantissa || power < -kMaxExactPower ||
        power > kMaxExactPower)
        return out;
    const double m = static_cast<double>(mantissa);
    const double v = power < 0 ? m / kExactPowersOfTen[-power] : m * kExactPowersOfTen[power];
    out.exact = true;
    out.value = negative ? -v : v;
    return out;
}

// The common shape of a data value, an optional "-", digits and at most one
// "." or "," separator, read in one tight pass: true with the value when the
// text has that shape and its digits fit the exact case of ScanNumber.
bool QuickNumber(std::string_view text, char sep, double& value) {
    if (!kExactArithmetic || (sep != '.' && sep != ',')) return false;
    const char* p = text.data();
    const char* const end = p + text.size();
    const bool negative = p != end && *p == '-';
    if (negative) ++p;
    const char* const first = p;
    std::uint64_t mantissa = 0;
    for (; p != end && IsDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    const std::ptrdiff_t whole = p - first;
    std::ptrdiff_t fraction = 0;
    if (p != end && *p == sep) {
        const char* const point = ++p;
        for (; p != end && IsDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
        fraction = p - point;
    }
    const std::ptrdiff_t digits = whole + fraction;
    double v = 0;
    if (p != end || digits == 0 || digits > 19 || !ShortDecimalValue(mantissa, fraction, v)) return false;
    value = negative ? -v : v;
    return true;
}

// "00" to "99", for writing two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

#if defined(__SSE2__) && defined(__x86_64__)
// The digits of two numbers below 10^4, in the 16-bit lanes 0 and 1 of
// groups and shifted left by two, as eight 16-bit lanes, the thousands
// first: each number's four lanes take it times 2^k / 10^n, for n = 3, 2,
// 1, 0, in two high-half multiplications, less ten times the lane before.
// Exact below 10^4.
inline __m128i FourDigitLanes(__m128i groups) {
    const __m128i pairs = _mm_unpacklo_epi16(groups, groups);
    const __m128i spread = _mm_unpacklo_epi32(pairs, pairs);
    const __m128i quotients = _mm_mulhi_epu16(
        _mm_mulhi_epu16(spread, _mm_setr_epi16(8389, 5243, 13108, -32768, 8389, 5243, 13108, -32768)),
        _mm_setr_epi16(1 << 7, 1 << 11, 1 << 13, -32768, 1 << 7, 1 << 11, 1 << 13, -32768));
    return _mm_sub_epi16(quotients, _mm_slli_epi64(_mm_mullo_epi16(quotients, _mm_set1_epi16(10)), 16));
}
#endif

// The eight decimal digits of whole and of places (both below 10^8) as
// characters, leading zeros included, one a byte, the first in the lowest.
inline void EightDigitChars(std::uint32_t whole, std::uint32_t places, std::uint64_t& wholeChars,
                            std::uint64_t& placeChars) {
#if defined(__SSE2__) && defined(__x86_64__)
    // Both numbers at once: split into halves of four digits in 16-bit
    // lanes, then each half into its digits.
    const __m128i x = _mm_unpacklo_epi64(_mm_cvtsi32_si128(static_cast<int>(whole)),
                                         _mm_cvtsi32_si128(static_cast<int>(places)));
    const __m128i high = _mm_srli_epi64(_mm_mul_epu32(x, _mm_set1_epi32(static_cast<int>(0xd1b71759u))), 45);  // x / 10^4
    const __m128i low = _mm_sub_epi32(x, _mm_mul_epu32(high, _mm_set1_epi32(10000)));
    const __m128i groups = _mm_slli_epi64(_mm_or_si128(high, _mm_slli_epi64(low, 16)), 2);
    const __m128i wholeDigits = FourDigitLanes(groups);
    const __m128i placeDigits = FourDigitLanes(_mm_unpackhi_epi64(groups, groups));
    const __m128i chars = _mm_add_epi8(_mm_packus_epi16(wholeDigits, placeDigits), _mm_set1_epi8('0'));
    wholeChars = static_cast<std::uint64_t>(_mm_cvtsi128_si64(chars));
    placeChars = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(chars, chars)));
#else
    // Split into halves, quarters and digits, each step on all parts at
    // once, the parts held in lanes of one word.
    const auto digits = [](std::uint64_t n) {
        std::uint64_t v = n / 10000 | (n % 10000) << 32;
        const std::uint64_t hundreds = (v * 10486) >> 20 & 0x0000007F0000007F;  // v / 100 in each lane
        v = hundreds | (v - 100 * hundreds) << 16;
        const std::uint64_t tens = (v * 103) >> 10 & 0x000F000F000F000F;  // v / 10 in each lane
        return (tens | (v - 10 * tens) << 8) + 0x3030303030303030;
    };
    wholeChars = digits(whole);
    placeChars = digits(places);
#endif
}

// Stores eight characters held in a word, the first in the lowest byte.
inline void StoreChars(char* at, std::uint64_t chars) {
    if constexpr (std::endian::native == std::endian::big) chars = __builtin_bswap64(chars);
    std::memcpy(at, &chars, 8);
}

// The common data value, a (at least 1e-4) below 10^8 with at most seven
// places. Scaled by seven places, such a value lies within a rounding of a
// whole number (below 10^15, so exactly that number), which divided back
// must read as a. The places' trailing zeros are the ones the decimal
// does not need. Written
// with its sign from out, or nullptr for other values. Writes up to 18
// characters, past the text's end too.
char* FewPlaces(char* out, double value, double a) {
    if (!(a < 1e8)) return nullptr;
    const auto digits = static_cast<std::int64_t>(a * 1e7 + 0.5);
    if (static_cast<double>(digits) / 1e7 != a) return nullptr;
    // The decimal and a are less than a place apart, so a's whole part is
    // the decimal's.
    const auto whole = static_cast<std::uint32_t>(a);
    const auto places = static_cast<std::uint32_t>(digits - std::int64_t{whole} * 10000000);
    std::uint64_t wholeChars = 0, placeChars = 0;
    EightDigitChars(whole, places, wholeChars, placeChars);
    // Leading zeros of the whole part (all but one for none), and the
    // places' digits after the first, always "0", up to their trailing zeros.
    constexpr std::uint64_t kZeros = 0x3030303030303030;
    const int lead = std::min(std::countr_zero(wholeChars ^ kZeros) / 8, 7);
    const std::uint64_t placeDigits = (placeChars ^ kZeros) >> 8;
    const int placeCount = placeDigits == 0 ? 0 : 8 - std::countl_zero(placeDigits) / 8;
    if (value < 0) *out++ = '-';
    StoreChars(out, wholeChars >> (8 * lead));
    out += 8 - lead;
    if (placeCount == 0) return out;
    *out = '.';
    StoreChars(out + 1, placeChars >> 8);
    return out + 1 + placeCount;
}

// FixedFifteenDigits for the values FewPlaces does not take, in a function
// of its own so that the common way does not pay for its registers.
[[gnu::noinline]] char* ManyPlaces(char* out, double value, double a) {
    // Places that scale a into [1e14, 1e15): 14 less its decimal exponent,
    // estimated from the binary one and corrected by the scaled value.
    std::uint64_t bits = 0;
    std::memcpy(&bits, &a, sizeof bits);
    const int binary = static_cast<int>(bits >> 52) - 1023;
    const int e = (binary * 1233) >> 12;  // 1233 / 4096 is just above log10(2)
    int places = std::clamp(14 - e, 0, 18);
    double scaled = a * kExactPowersOfTen[places];
    while (scaled >= 1e15 && places > 0) scaled = a * kExactPowersOfTen[--places];
    while (scaled < 1e14 && places < 18) scaled = a * kExactPowersOfTen[++places];
    // When a decimal of 15 digits reads back as a, a scaled lies within 0.2
    // of its digits, whatever the rounding of the product.
    auto digits = static_cast<std::uint64_t>(scaled + 0.5);  // exact: scaled is below 2^50
    if (static_cast<double>(digits) / kExactPowersOfTen[places] != a) return nullptr;
    // Trailing zeros of the fraction go, eight, four, two and one at a time.
    while (places >= 8 && digits % 100000000 == 0) {
        digits /= 100000000;
        places -= 8;
    }
    for (const auto& [step, power] : {std::pair{4, 10000u}, std::pair{2, 100u}, std::pair{1, 10u}}) {
        if (places >= step && digits % power == 0) {
            digits /= power;
            places -= step;
        }
    }
    // Right to left into a scratch buffer: the fraction (zeros included once
    // the digits run out), the point, then the whole part, "0" for none.
    char buf[32];
    char* const end = buf + sizeof buf;
    char* p = end;
    int written = 0;
    for (; written + 2 <= places; written += 2, digits /= 100) {
        p -= 2;
        std::memcpy(p, kDigitPairs + 2 * (digits % 100), 2);
    }
    if (written < places) {
        *--p = static_cast<char>('0' + digits % 10);
        digits /= 10;
    }
    if (places > 0) *--p = '.';
    for (; digits >= 10; digits /= 100) {
        p -= 2;
        std::memcpy(p, kDigitPairs + 2 * (digits % 100), 2);
    }
    if (digits > 0 || *p == '.') *--p = static_cast<char>('0' + digits);
    if (value < 0) *out++ = '-';
    std::memcpy(out, p, static_cast<std::size_t>(end - p));
    return out + (end - p);
}

// Writes |value| in fixed notation when a decimal of at most 15 significant
// digits, not below 1e-4, reads back as value. Such a decimal is unique (15
// digits are coarser than a double), so it is also the shortest text that
// reads back, and it is the value rounded to 15 digits: one scaling by an
// exact power of ten finds it, one exact division checks it. Most data
// values, written with a few decimals, take this way; it answers nullptr for
// the others.
char* FixedFifteenDigits(char* out, double value) {
    if (!kExactArithmetic) return nullptr;
    const double a = std::fabs(value);
    if (!(a >= 1e-4 && a < 1e15)) return nullptr;
    if (char* end = FewPlaces(out, value, a)) return end;
    return ManyPlaces(out, value, a);
}

}  // namespace

double TextToDouble(std::string_view text, std::string_view decimalSeparator) {
    double quick = 0;
    if (decimalSeparator.size() == 1 && QuickNumber(text, decimalSeparator[0], quick)) return quick;
    const ScannedNumber scanned = ScanNumber(text, decimalSeparator);
    if (!scanned.valid) throw ComError::TypeMismatch();
    if (scanned.exact) return scanned.value;
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
    return ScanNumber(text, decimalSeparator).valid;
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
    std::string out;
    AppendDoubleText(out, value, decimalSeparator);
    return out;
}

void AppendDoubleText(std::string& out, double value, std::string_view decimalSeparator) {
    if (value == 0.0) {  // also for -0, which the platform prints as 0
        out += '0';
        return;
    }
    char buf[64];
    char* end = FixedFifteenDigits(buf, value);
    if (end == nullptr) {
        // Fifteen digits round the largest magnitudes up past the range of a
        // Double, so that the text would not read back: write those in full.
        constexpr double kLargestSafeAtFifteenDigits = 1.79769313486231e308;
        auto [ptr, ec] = std::fabs(value) > kLargestSafeAtFifteenDigits
                             ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general)
                             : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
        end = ec == std::errc() ? ptr : buf;
    }
    const std::size_t at = out.size();
    out.append(buf, end);
    // The point and the exponent's letter, as the platform writes them.
    bool plain = decimalSeparator.size() == 1;
    for (std::size_t i = at; i < out.size(); ++i) {
        if (out[i] == 'e') out[i] = 'E';
        else if (out[i] == '.' && plain) out[i] = decimalSeparator[0];
        else if (out[i] == '.') plain = false;
    }
    if (!plain) out.replace(at, std::string::npos, ReplaceAll(std::string_view(out).substr(at), ".", decimalSeparator));
}

char* ShortestDoubleChars(char* first, char* last, double value) {
    if (last - first >= 32) {
        if (char* end = FixedFifteenDigits(first, value)) return end;
    }
    return std::to_chars(first, last, value).ptr;
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
    if (with.size() != 1) {
        text = ReplaceAll(text, std::string_view(&what, 1), with);
        return;
    }
    // A select rather than a conditional store, so that the loop vectorises
    // over a data text of many megabytes.
    const char to = with[0];
    for (char& c : text) c = c == what ? to : c;
}

void ReplaceAllShrinking(std::string& text, std::string_view what, std::string_view with) {
    if (what.empty() || with.size() > what.size()) {
        text = ReplaceAll(text, what, with);
        return;
    }
    std::size_t hit = FindText(text, what);
    if (hit == std::string::npos) return;
    // What lies at and after `read` is still the original text: the written
    // part never overtakes it.
    char* data = text.data();
    std::size_t read = 0, write = 0;
    while (hit != std::string::npos) {
        std::memmove(data + write, data + read, hit - read);
        write += hit - read;
        std::memcpy(data + write, with.data(), with.size());
        write += with.size();
        read = hit + what.size();
        hit = FindText(text, what, read);
    }
    std::memmove(data + write, data + read, text.size() - read);
    text.resize(write + text.size() - read);
}

std::size_t FindText(std::string_view text, std::string_view what, std::size_t from) noexcept {
    if (what.empty()) return from <= text.size() ? from : std::string_view::npos;
    if (what.size() > text.size()) return std::string_view::npos;
    const std::size_t last = text.size() - what.size();
    std::size_t i = from;
    if (what.size() >= 2) {
        // Blocks where the first two or three characters never meet are
        // passed over in a loop that the compiler vectorises.
        constexpr std::size_t kBlock = 64;
        const std::size_t third = what.size() > 2 ? 2 : 1;
        const char a = what[0], b = what[1], c = what[third];
        for (; i + kBlock <= last; i += kBlock) {
            const char* t = text.data() + i;
            unsigned char hits = 0;
            for (std::size_t j = 0; j < kBlock; ++j)
                hits |= static_cast<unsigned char>((t[j] == a) & (t[j + 1] == b) & (t[j + third] == c));
            if (hits != 0) break;
        }
    }
    for (; i <= last; ++i) {
        if (text[i] != what[0]) continue;
        std::size_t j = 1;
        while (j < what.size() && text[i + j] == what[j]) ++j;
        if (j == what.size()) return i;
    }
    return std::string_view::npos;
}

std::string_view TrimSpaces(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    return text.substr(b, e - b);
}

char* PlainDecimalText(char* out, std::string_view text, std::string_view decimalSeparator) {
    // The usual value, a first and a last digit that are not 0 around one
    // mark, at most fifteen digits: the text itself with the separator for
    // its mark, copied in one pass.
    const std::size_t n = text.size();
    if (decimalSeparator.size() == 1 && n >= 3 && n <= 16 && text[0] >= '1' && text[0] <= '9' &&
        text[n - 1] >= '1' && text[n - 1] <= '9') {
        std::size_t others = 0, markAt = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const char c = text[i];
            out[i] = c;
            const bool digit = IsDigit(c);
            others += digit ? 0 : 1;
            markAt = digit ? markAt : i;
        }
        if (others == 1 && (text[markAt] == '.' || text[markAt] == ',')) {
            out[markAt] = decimalSeparator[0];
            return out + n;
        }
    }
    // Otherwise the digits are copied as they are read (short runs: a call to
    // copy them would cost more), then trailing zeros after the mark are
    // taken back.
    const char* p = text.data();
    const char* const end = p + text.size();
    char* o = out;
    const bool negative = p != end && *p == '-';
    if (negative) *o++ = *p++;
    const char* const digits = p;
    while (p != end && *p == '0') ++p;
    char* const whole = o;
    while (p != end && IsDigit(*p)) *o++ = *p++;
    const std::ptrdiff_t wholeDigits = o - whole;
    if (wholeDigits == 0) *o++ = '0';
    char* const mark = o;
    std::ptrdiff_t fractionDigits = 0;
    bool anyDigit = p != digits;
    if (p != end && (*p == '.' || *p == ',')) {
        anyDigit = anyDigit || (p + 1 != end && IsDigit(p[1]));
        ++p;
        for (const char c : decimalSeparator) *o++ = c;
        char* const fraction = o;
        while (p != end && IsDigit(*p)) *o++ = *p++;
        while (o != fraction && o[-1] == '0') --o;
        fractionDigits = o - fraction;
        if (fractionDigits == 0) o = mark;
        // Within fifteen significant digits and the range of the fixed form,
        // the value's text is these digits: no other such decimal reads as
        // the same Double. Outside, the value is written from the Double.
        if (wholeDigits == 0 && fractionDigits > 0) {
            std::ptrdiff_t zeros = 0;
            while (fraction[zeros] == '0') ++zeros;
            if (zeros > 3 || fractionDigits - zeros > 15) return nullptr;  // below 1E-04 or too many digits
        }
    }
    if (p != end || !anyDigit || (wholeDigits > 0 && wholeDigits + fractionDigits > 15)) return nullptr;
    if (wholeDigits + fractionDigits == 0) {
        *out = '0';  // also for -0
        return out + 1;
    }
    return o;
}

}  // namespace orv
