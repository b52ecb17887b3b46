#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <new>
#include <random>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "common/Conversions.h"
#include "common/TextLines.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

struct DoubleCase { const char* text; const char* sep; double expected; };

TEST(Conversions, ReadsDecimalNumbers) {
    const DoubleCase cases[] = {
        {"3.25", ".", 3.25},     {"3,25", ",", 3.25},    {" \t-7 ", ".", -7.0}, {"+.5", ".", 0.5},
        {"5.", ".", 5.0},        {"1E+3", ".", 1000.0},  {"2,5e-1", ",", 0.25}, {"1e-400", ".", 0.0},
        {"0.000001e-320", ".", 0.0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(TextToDouble(c.text, c.sep), c.expected) << c.text;
}

// Numbers of every length and notation, with either separator, read to the
// same bits as std::from_chars reads their "." form: the short ones take a
// quicker road that must not round differently.
TEST(Conversions, ReadsToTheBitsOfFromChars) {
    std::mt19937_64 random(11);
    const auto digits = [&](std::size_t n) {
        std::string d;
        for (std::size_t i = 0; i < n; ++i) d += static_cast<char>('0' + random() % 10);
        return d;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string whole = digits(random() % 22), fraction = digits(random() % 22);
        if (whole.empty() && fraction.empty()) whole = "7";
        const std::string exponent = random() % 3 == 0 ? "e" + std::to_string(static_cast<int>(random() % 80) - 40) : "";
        const std::string sign = random() % 2 == 0 ? "-" : random() % 2 == 0 ? "+" : "";
        const bool point = !fraction.empty() || random() % 2 == 0;
        const std::string canonical = (sign == "-" ? "-" : "") + whole + "." + fraction + exponent;
        double expected = 0;
        std::from_chars(canonical.data(), canonical.data() + canonical.size(), expected);
        for (const char* sep : {".", ","}) {
            const std::string text = sign + whole + (point ? sep : "") + fraction + exponent;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(TextToDouble(text, sep)), std::bit_cast<std::uint64_t>(expected))
                << text;
        }
    }
}

TEST(Conversions, RejectsWhatIsNotANumber) {
    const char* texts[] = {"", "  ", "-", "1.2.3", "1,5", "1e", "1e+", "nan", "inf", "0x1A", "&H1A", "1 2"};
    for (const char* t : texts) EXPECT_COM_ERROR(TextToDouble(t, "."), err::kTypeMismatch, nullptr);
    EXPECT_FALSE(IsNumericText("1.5", ","));
    EXPECT_TRUE(IsNumericText("1,5", ","));
}

TEST(Conversions, TooLargeIsOverflowWhateverTheNotation) {
    const std::string longMantissa = "1" + std::string(400, '0');
    for (const std::string& t : {std::string("1e400"), std::string("-1e309"), longMantissa, longMantissa + "e-1"})
        EXPECT_COM_ERROR(TextToDouble(t, "."), err::kOverflow, nullptr);
}

TEST(Conversions, LongsRoundHalfToEvenWithin32Bits) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"2.5", 2}, {"3.5", 4}, {"-2.5", -2}, {"0.49", 0}, {" 12 ", 12},
        {"2147483647", 2147483647}, {"-2147483648.5", -2147483647 - 1},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(TextToLong(text, "."), expected) << text;
    for (const char* t : {"2147483647.5", "-2147483649", "1e10"})
        EXPECT_COM_ERROR(TextToLong(t, "."), err::kOverflow, nullptr);
    EXPECT_COM_ERROR(TextToLong("", "."), err::kTypeMismatch, nullptr);
    EXPECT_COM_ERROR(TextToLong("x", "."), err::kTypeMismatch, nullptr);
}

TEST(Conversions, BooleansAreWordsInAnyCaseOrNumbers) {
    const std::pair<const char*, bool> cases[] = {
        {"True", true}, {"FALSE", false}, {" true ", true}, {"fAlSe", false}, {"-1", true}, {"0", false}, {"0,5", true},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(TextToBool(text, ","), expected) << text;
    for (const char* t : {"", "yes", "Truth"}) EXPECT_COM_ERROR(TextToBool(t, ","), err::kTypeMismatch, nullptr);
}

TEST(Conversions, WritesTheGeneralFormWithTheGivenSeparator) {
    const DoubleCase cases[] = {
        {"1,5", ",", 1.5},       {"0.3", ".", 0.1 + 0.2}, {"-0.044", ".", -0.044}, {"0", ".", -0.0},
        {"1E+20", ".", 1e20},    {"1E-05", ".", 1e-5},    {"2500", ".", 2500.0},   {"1.23456789012346E+17", ".", 123456789012345678.0},
    };
    for (const auto& c : cases) EXPECT_EQ(DoubleToText(c.expected, c.sep), c.text);
}

TEST(Conversions, TheLargestMagnitudesAreWrittenSoThatTheyReadBack) {
    const double max = std::numeric_limits<double>::max();
    for (const double v : {max, -max, std::nextafter(max, 0.0), 1.797693134862315e308})
        EXPECT_EQ(TextToDouble(DoubleToText(v, ","), ","), v) << DoubleToText(v, ",");
    EXPECT_EQ(DoubleToText(1.79769313486231e308, "."), "1.79769313486231E+308");
}

// The general form with 15 digits and the shortest form, for values read
// from short decimals (a quicker road) and for any bit pattern.
TEST(Conversions, WritesWhatToCharsWrites) {
    std::mt19937_64 random(5);
    for (int i = 0; i < 40000; ++i) {
        double v = 0;
        if (i % 2 == 0) {
            const std::string text = std::to_string(random() % 100000000) + "." + std::to_string(random() % 100000);
            std::from_chars(text.data(), text.data() + text.size(), v);
            v *= i % 4 == 0 ? 1.0 : 1e-6;
        } else {
            v = std::bit_cast<double>(random());
        }
        if (!std::isfinite(v) || v == 0) continue;
        char buf[64];
        std::string general(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15).ptr);
        general = ReplaceAll(ReplaceAll(general, "e", "E"), ".", ",");
        EXPECT_EQ(DoubleToText(v, ","), general);

        const std::string_view shortest(buf, static_cast<std::size_t>(ShortestDoubleChars(buf, buf + sizeof buf, v) - buf));
        double back = 0;
        std::from_chars(shortest.data(), shortest.data() + shortest.size(), back);
        EXPECT_EQ(back, v) << shortest;
        const auto significant = [](std::string_view t) {
            t = t.substr(0, t.find('e'));
            const std::string d = ReplaceAll(ReplaceAll(t, "-", ""), ".", "");
            const auto first = d.find_first_not_of('0');
            return d.substr(first, d.find_last_not_of('0') + 1 - first).size();
        };
        char reference[64];
        EXPECT_EQ(significant(shortest),
                  significant(std::string_view(reference, std::to_chars(reference, reference + 64, v).ptr)))
            << shortest;
    }
}

// A plain decimal written from its own digits gives the text of its value,
// or leaves it to the value (nullptr) where the two could differ.
TEST(Conversions, PlainDecimalsWriteTheirValuesText) {
    const std::pair<const char*, const char*> fixed[] = {
        {"-000.500", "-0,5"}, {"-0", "0"}, {"0,000", "0"}, {"7.", "7"}, {".25", "0,25"}, {"0.0001", "0,0001"},
        {"0.00009", nullptr}, {"123456789012345", "123456789012345"}, {"1234567890123456", nullptr},
        {"0.000123456789012345", "0,000123456789012345"}, {"12345678.12345678", nullptr}, {"-", nullptr},
        {",", nullptr}, {"1e5", nullptr}, {"1.2.3", nullptr}, {"1-2.5", nullptr}, {"98.7654321", "98,7654321"},
    };
    char buf[64];
    for (const auto& [text, written] : fixed) {
        char* end = PlainDecimalText(buf, text, ",");
        EXPECT_EQ(end == nullptr ? std::string("(value)") : std::string(buf, end), written ? written : "(value)")
            << text;
    }
    std::mt19937_64 random(3);
    for (int i = 0; i < 40000; ++i) {
        std::string text = random() % 4 == 0 ? "-" : "";
        for (auto n = random() % 18; n > 0; --n) text += static_cast<char>('0' + random() % (n % 3 == 0 ? 1 : 10));
        const char* mark = random() % 2 == 0 ? "." : ",";
        if (random() % 3 != 0) text += mark;
        for (auto n = random() % 18; n > 0; --n) text += static_cast<char>('0' + random() % (n % 4 == 0 ? 1 : 10));
        if (!IsNumericText(text, mark)) continue;
        const double value = TextToDouble(text, mark);
        for (const char* sep : {".", ",", "", "::"}) {
            if (char* end = PlainDecimalText(buf, text, sep)) {
                EXPECT_EQ(std::string(buf, end), DoubleToText(value, sep)) << text;
            }
        }
    }
}

TEST(Conversions, ReplaceAllIsOnePassLeftToRight) {
    const std::tuple<const char*, const char*, const char*> shrinking[] = {
        {"aaa", "aa", "a"}, {"a  b   c    d", "  ", " "}, {"1\r\n 2\r\n 3", "\r\n ", "\r\n"},
        {";;;;;", ";;", ";"}, {"xyx", "x", ""}, {"abc", "z", "y"}, {"", "a", ""},
    };
    for (const auto& [text, what, with] : shrinking) {
        std::string inPlace = text;
        ReplaceAllShrinking(inPlace, what, with);
        EXPECT_EQ(inPlace, ReplaceAll(text, what, with)) << text;
    }
    EXPECT_EQ(ReplaceAll("aaa", "aa", "a"), "aa");
    EXPECT_EQ(ReplaceAll("a.b.c", ".", ".."), "a..b..c");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(TrimSpaces("  a b \t "), "a b \t");
}

TEST(LineCursor, EndsLinesAtCrLfOrALoneCr) {
    const std::pair<std::string_view, std::vector<std::string_view>> cases[] = {
        {"", {}}, {"a", {"a"}}, {"a\r\n", {"a"}}, {"a\r\rb", {"a", "", "b"}},
        {"a\nb\r\n\n", {"a\nb", "\n"}}, {"\r\n\r\n", {"", ""}}, {"x\r", {"x"}},
    };
    for (const auto& [text, expected] : cases) {
        std::vector<std::string_view> lines;
        LineCursor cursor(text);
        while (!cursor.AtEnd()) lines.push_back(cursor.Next());
        EXPECT_EQ(lines, expected) << text;
        EXPECT_EQ(CountLines(text), expected.size()) << text;
        EXPECT_EQ(cursor.Next(), "");
    }
}

TEST(ComErrorTest, StandardExceptionsLeaveGuardedAsComErrors) {
    EXPECT_COM_ERROR(Guarded([]() -> int { throw std::bad_alloc(); }), err::kOutOfMemory, "Out of memory");
    EXPECT_COM_ERROR(Guarded([] { std::string().at(1); }), err::kSubscriptOutOfRange, "Subscript out of range");
    EXPECT_COM_ERROR(Guarded([] { throw ComError(2001, "src", "kept"); }), 2001, "kept");
    EXPECT_COM_ERROR(Guarded([] { throw std::runtime_error("boom"); }), 51, "Internal error: boom");
    EXPECT_EQ(Guarded([] { return 42; }), 42);
}

}  // namespace
}  // namespace orv
