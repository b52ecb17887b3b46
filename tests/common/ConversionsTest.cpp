#include <bit>
#include <charconv>
#include <new>
#include <random>
#include <stdexcept>

#include "common/Conversions.h"
#include "common/TextLines.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

double FromChars(std::string_view text) {
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

std::string Call(const test::DataRow& row) {
    const std::string &call = row[0], &text = row[1], &arg = row[2];
    char buf[64];
    if (call == "double") return std::string(buf, std::to_chars(buf, buf + sizeof buf, TextToDouble(text, arg)).ptr);
    if (call == "long") return std::to_string(TextToLong(text, arg));
    if (call == "bool") return TextToBool(text, arg) ? "true" : "false";
    if (call == "numeric") return IsNumericText(text, arg) ? "true" : "false";
    if (call == "write") return DoubleToText(FromChars(text), arg);
    if (call == "trim") return std::string(TrimSpaces(text));
    if (call == "plain") {
        const char* end = PlainDecimalText(buf, text, arg);
        return end ? std::string(buf, static_cast<std::size_t>(end - buf)) : "(value)";
    }
    if (call == "replace") {
        const std::string what = arg.substr(0, arg.find('>')), with = arg.substr(arg.find('>') + 1);
        std::string shrunk = text;
        if (with.size() <= what.size() && !what.empty()) {
            ReplaceAllShrinking(shrunk, what, with);
            EXPECT_EQ(shrunk, ReplaceAll(text, what, with)) << "in place";
        }
        return ReplaceAll(text, what, with);
    }
    if (call == "lines") {
        std::string lines;
        LineCursor cursor(text);
        std::size_t count = 0;
        for (; !cursor.AtEnd(); ++count) lines += "[" + std::string(cursor.Next()) + "]";
        EXPECT_EQ(cursor.Next(), "");
        EXPECT_EQ(CountLines(text), count);
        return lines;
    }
    ADD_FAILURE() << "unknown call";
    return "";
}

TEST(Conversions, GiveTheResultOfEveryRowOfTheirTable) {
    for (const auto& row : test::DataRows("common/data/conversions.txt")) {
        SCOPED_TRACE(row.where);
        try {
            EXPECT_EQ(Call(row), row[3]);
        } catch (const ComError& e) {
            EXPECT_EQ("!" + std::to_string(e.Number()), row[3]) << e.Description();
        }
    }
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
        const double expected = FromChars((sign == "-" ? "-" : "") + whole + "." + fraction + exponent);
        for (const char* sep : {".", ","}) {
            const std::string text = sign + whole + (point ? sep : "") + fraction + exponent;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(TextToDouble(text, sep)), std::bit_cast<std::uint64_t>(expected))
                << text;
        }
    }
}

// The general form with 15 digits and the shortest form, for values read
// from short decimals (a quicker road) and for any bit pattern.
TEST(Conversions, WritesWhatToCharsWrites) {
    std::mt19937_64 random(5);
    for (int i = 0; i < 40000; ++i) {
        const double v = i % 2 != 0 ? std::bit_cast<double>(random())
                                    : FromChars(std::to_string(random() % 100000000) + "." + std::to_string(random() % 100000)) *
                                          (i % 4 == 0 ? 1.0 : 1e-6);
        if (!std::isfinite(v) || v == 0) continue;
        char buf[64];
        std::string general(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15).ptr);
        EXPECT_EQ(DoubleToText(v, ","), ReplaceAll(ReplaceAll(general, "e", "E"), ".", ","));

        const std::string_view shortest(buf, static_cast<std::size_t>(ShortestDoubleChars(buf, buf + sizeof buf, v) - buf));
        EXPECT_EQ(FromChars(shortest), v) << shortest;
        const auto significant = [](std::string_view t) {
            const std::string d = ReplaceAll(ReplaceAll(t.substr(0, t.find('e')), "-", ""), ".", "");
            const auto first = d.find_first_not_of('0');
            return d.find_last_not_of('0') + 1 - first;
        };
        char reference[64];
        EXPECT_EQ(significant(shortest), significant(std::string_view(reference, std::to_chars(reference, reference + 64, v).ptr)))
            << shortest;
    }
}

// Where a plain decimal writes its own digits, they are the text of its value.
TEST(Conversions, PlainDecimalsWriteTheirValuesText) {
    char buf[64];
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

TEST(ComErrorTest, StandardExceptionsLeaveGuardedAsComErrors) {
    EXPECT_COM_ERROR(Guarded([]() -> int { throw std::bad_alloc(); }), err::kOutOfMemory, "Out of memory");
    EXPECT_COM_ERROR(Guarded([] { std::string().at(1); }), err::kSubscriptOutOfRange, "Subscript out of range");
    EXPECT_COM_ERROR(Guarded([] { throw ComError(2001, "src", "kept"); }), 2001, "kept");
    EXPECT_COM_ERROR(Guarded([] { throw std::runtime_error("boom"); }), 51, "Internal error: boom");
    EXPECT_EQ(Guarded([] { return 42; }), 42);
}

}  // namespace
}  // namespace orv
