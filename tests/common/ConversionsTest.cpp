#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>

#include "common/Conversions.h"
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

TEST(Conversions, ReplaceAllIsOnePassLeftToRight) {
    EXPECT_EQ(ReplaceAll("aaa", "aa", "a"), "aa");
    EXPECT_EQ(ReplaceAll("a.b.c", ".", ".."), "a..b..c");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(TrimSpaces("  a b \t "), "a b \t");
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
