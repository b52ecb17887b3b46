#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv {
namespace {

using namespace v2LocaleSettings;
using test::kCommaLocale;
using test::kPointLocale;
using test::ScopedLocale;

TEST(LocaleTest, SeparatorFollowsTheEnvironmentAtEveryCall) {
    {
        ScopedLocale comma(kCommaLocale);
        EXPECT_EQ(DecimalSeparator(), ",");
        ScopedLocale point(kPointLocale);
        EXPECT_EQ(DecimalSeparator(), ".");
    }
#ifndef _WIN32
    ScopedLocale unknown("xx_XX.UTF-8");
    EXPECT_EQ(DecimalSeparator(), "");
    EXPECT_DOUBLE_EQ(NumberFromText("3.25"), 325.0);  // the empty separator replaces the mark
#endif
}

// One operation reads every number with the mark it found at its start; the
// next one sees a changed locale.
TEST(LocaleTest, AnOperationKeepsTheMarkItStartedWith) {
    ScopedLocale comma(kCommaLocale);
    {
        const OperationSeparator operation;
        ScopedLocale point(kPointLocale);
        const OperationSeparator inner;
        for (const std::string& mark : {DecimalSeparator(), operation.Mark(), inner.Mark()}) EXPECT_EQ(mark, ",");
        std::string text = "1.5;2.5";
        NormaliseDecimals(text, ";");
        EXPECT_EQ(text, "1,5;2,5");
    }
    EXPECT_EQ(DecimalSeparator(), ",");
    ScopedLocale point(kPointLocale);
    EXPECT_EQ(OperationSeparator().Mark(), ".");
}

TEST(LocaleTest, NumbersReadWithEitherMarkInEitherLocale) {
    for (const char* locale : {kCommaLocale, kPointLocale}) {
        ScopedLocale scoped(locale);
        const std::pair<std::string, double> cases[] = {
            {"3.25", 3.25}, {"3,25", 3.25}, {"7", 7.0}, {"-0,5E+2", -50.0}, {" 1.5 ", 1.5},
        };
        for (const auto& [text, expected] : cases) EXPECT_DOUBLE_EQ(NumberFromText(text), expected) << text << locale;
        // Only the points are replaced when both marks are present.
        for (const std::string bad : {"1.000,5", "1,2,3", "abc", ""})
            EXPECT_COM_ERROR(NumberFromText(bad), err::kTypeMismatch, nullptr);
    }
}

TEST(LocaleTest, DataTextIsNormalisedOnceOverTheWholeText) {
    const struct { const char *locale, *text, *fieldSeparator, *expected; } cases[] = {
        {kPointLocale, "1,5;2,5", ";", "1.5;2.5"}, {kPointLocale, "1,5;2,5", ",", "1,5;2,5"},
        {kPointLocale, "1.5;2,5", ";", "1.5;2.5"}, {kPointLocale, "1,5\t2,5", "", "1.5\t2.5"},
        {kCommaLocale, "1.5;2.5", ";", "1,5;2,5"},
        {kCommaLocale, "1.5,2.5", ",", "1,5,2,5"},  // the point rule ignores the field separator
        {kCommaLocale, "1,5;2,5", ";", "1,5;2,5"}, {kCommaLocale, "1;2\r\n3;4", ";", "1;2\r\n3;4"},
    };
    for (const auto& c : cases) {
        ScopedLocale scoped(c.locale);
        std::string text = c.text;
        NormaliseDecimals(text, c.fieldSeparator);
        EXPECT_EQ(text, c.expected) << c.text << " in " << c.locale;
    }
}

}  // namespace
}  // namespace orv
