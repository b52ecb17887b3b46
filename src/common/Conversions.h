// Conversions of text to numbers and Booleans with the platform's rules.
// The decimal separator is a parameter so that callers decide which locale
// applies; v2LocaleSettings supplies the user's.
#pragma once

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// Reads a decimal number: optional blanks, sign, digits with at most one
// decimal separator, optional exponent, optional blanks. "nan", "inf" and
// hexadecimal forms are not numbers. Raises 13 for a non-number (and for an
// empty text), 6 for a value outside the range of a Double.
double TextToDouble(std::string_view text, std::string_view decimalSeparator);

// Powers of ten that a double holds exactly.
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// One multiplication or division of exact operands is rounded once, as
// std::from_chars rounds; only where arithmetic has no excess precision
// (32-bit x87 code has it, and would round twice).
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0
inline constexpr bool kExactArithmetic = true;
#else
inline constexpr bool kExactArithmetic = false;
#endif

// The value of a short decimal, its digits as one number over 10^fraction,
// as TextToDouble reads it: one rounding, where both are exact (digits at
// most 2^53, at most 22 places) and the arithmetic rounds once. False, with
// value unchanged, for any other.
inline bool ShortDecimalValue(std::uint64_t digits, std::ptrdiff_t fraction, double& value) noexcept {
    if (!kExactArithmetic || digits > (std::uint64_t{1} << 53) || fraction < 0 || fraction > 22) return false;
    value = static_cast<double>(digits) / kExactPowersOfTen[fraction];
    return true;
}

// True when TextToDouble would succeed.
bool IsNumericText(std::string_view text, std::string_view decimalSeparator);

// The platform's text-to-Long conversion: a number as above, rounded half to
// even; 6 when outside 32 bits, 13 when not a number.
std::int32_t TextToLong(std::string_view text, std::string_view decimalSeparator);

// Rounds half to even into a Long; 6 when outside 32 bits.
std::int32_t DoubleToLong(double value);

// "True"/"False" in any letter case, or a number (non-zero is true); 13 otherwise.
bool TextToBool(std::string_view text, std::string_view decimalSeparator);

// The platform's general form: at most 15 significant digits, no grouping,
// the given decimal separator ("1.5" or "1,5"); exponent form for very large
// and very small magnitudes ("1E+20", "1E-05").
std::string DoubleToText(double value, std::string_view decimalSeparator);
// DoubleToText appended to out, without a text of its own per value.
void AppendDoubleText(std::string& out, double value, std::string_view decimalSeparator);

// A shortest text that reads back as value, with "." and "e" (fixed notation
// for values of at most 15 digits, else std::to_chars' choice); at most 32
// characters. Answers the end of the text.
char* ShortestDoubleChars(char* first, char* last, double value);

// Decimal text of a Long, with a minus sign for negative values.
std::string LongToText(std::int64_t value);

// Plain all-occurrences replacement, left to right, in one pass.
std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with);

// ReplaceAll of one character, rewriting text in place when the replacement
// is one character too (no second copy of a large data text).
void ReplaceAllInPlace(std::string& text, char what, std::string_view with);

// ReplaceAll in place for a replacement no longer than what it replaces:
// one pass that moves the text up, no second copy.
void ReplaceAllShrinking(std::string& text, std::string_view what, std::string_view with);

// Position of what in text at or after from, npos when absent. A plain loop:
// faster than the library's search for the short patterns of data cleaning,
// whose first character ("  ", "\r\n ") is everywhere in a data text.
std::size_t FindText(std::string_view text, std::string_view what, std::size_t from = 0) noexcept;

// Removes leading and trailing spaces (only spaces, as the platform's Trim does).
std::string_view TrimSpaces(std::string_view text);

// For a plain decimal text (an optional "-", digits, at most one "." or ","
// among or after them), AppendDoubleText's text of its value, written from
// the text's own digits into out (which has room for the text and the
// separator): no leading zeros, no trailing zeros after the mark, the given
// separator for the mark. Answers the end of what it wrote, or nullptr when
// the value must be written from its Double (more than fifteen significant
// digits, or below 1E-04) or the text is not of that shape.
char* PlainDecimalText(char* out, std::string_view text, std::string_view decimalSeparator);

}  // namespace orv
