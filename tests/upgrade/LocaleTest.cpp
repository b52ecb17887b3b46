#include <gtest/gtest.h>

#include <charconv>
#include <string>

#include "support/TestSupport.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv {
namespace {

using namespace v2LocaleSettings;
using test::kCommaLocale;
using test::kPointLocale;
using test::ScopedLocale;

// The comma and point locales are rows of locale.txt and switch per row.
#ifndef _WIN32
TEST(LocaleTest, AnUnknownLocaleHasNoSeparator) {
    ScopedLocale unknown("xx_XX.UTF-8");
    EXPECT_EQ(DecimalSeparator(), "");
    EXPECT_DOUBLE_EQ(NumberFromText("3.25"), 325.0);  // the empty separator replaces the mark
}
#endif

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

TEST(LocaleTest, NumbersAndDataTextsFollowTheLocale) {
    for (const auto& row : test::DataRows("upgrade/data/locale.txt")) {
        const std::string locale = row[2].substr(0, 5), separator = row[2].size() > 6 ? row[2].substr(6) : "";
        ScopedLocale scoped(locale == "comma" ? kCommaLocale : kPointLocale);
        std::string got = row[1];
        try {
            char buf[32];
            if (row[0] == "number") got.assign(buf, std::to_chars(buf, buf + sizeof buf, NumberFromText(row[1])).ptr);
            else NormaliseDecimals(got, separator);
        } catch (const ComError& e) {
            got = "!" + std::to_string(e.Number());
        }
        EXPECT_EQ(got, row[3]) << row.where;
    }
}

}  // namespace
}  // namespace orv
