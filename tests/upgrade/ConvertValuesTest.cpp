#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_record/clsRun.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

// The 24 fields of a version-1 settings line.
std::vector<std::string> GoodFields() {
    return {"C:\\data", "500", "1", "60", "7", "1", "25", "5", "3", "0.01", "2", "100",
            "0.044", "0.3", "0,3", "0.1", "0.1", "+-*/PT", "0.1", "3", "1@2@3@0@0@0@0@0@0@0",
            "0.1", "2", "4@5@0@0@0@0@0@0@0@0"};
}

std::string Join(const std::vector<std::string>& fields) {
    std::string s;
    for (const auto& f : fields) s += (s.empty() ? "" : "#") + f;
    return s;
}

class ConvertValuesTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ConvertValuesTest, TakesAllFieldsInEitherLocale) {
    test::ScopedLocale locale(GetParam());
    clsRun run;
    ASSERT_TRUE(run.ConvertValues(Join(GoodFields())));
    EXPECT_EQ(run.DataPath(), "C:\\data");
    EXPECT_EQ(run.Geracoes(), 500);
    // Genes 1 is stored directly, so the linking code "*" of field 5 stays.
    EXPECT_EQ(run.Genes(), 1);
    EXPECT_EQ(run.LinkingFunction(), "*");
    EXPECT_EQ(run.Cromossomas(), 60);
    EXPECT_EQ(run.NumeroResultadosValidar(), 5);
    EXPECT_DOUBLE_EQ(run.Precision(), 0.01);
    EXPECT_EQ(run.ErrorType(), 2);
    EXPECT_DOUBLE_EQ(run.TwoPointRec(), 0.3);
    EXPECT_EQ(run.FunctionSet(), "+-*/^G");
    EXPECT_EQ(run.ISElements(), "1@2@3@0@0@0@0@0@0@0");
    EXPECT_EQ(run.NumRISElem(), 2);
    EXPECT_EQ(run.RISElements(), "4@5@0@0@0@0@0@0@0@0");
    EXPECT_EQ(run.StopConditionIndex(), 2);
    EXPECT_DOUBLE_EQ(run.StopConditionValue(), 1.0);
    EXPECT_TRUE(run.ShowInteractive());
}

INSTANTIATE_TEST_SUITE_P(Locales, ConvertValuesTest, ::testing::Values(test::kPointLocale, test::kCommaLocale));

// Each failure keeps what was stored before the failing field and skips
// the stop condition.
TEST(ConvertValues, StopsAtTheFirstBadFieldKeepingEarlierOnes) {
    struct Case {
        const char* what;
        std::size_t field;
        const char* text;  // nullptr: the line ends before this field
    };
    const Case cases[] = {
        {"text where a whole number belongs", 3, "sixty"},
        {"error type the setter refuses", 10, "7"},
        {"IS list with nine entries", 20, "1@2@3@4@5@6@7@8@9"},
        {"line cut short", 23, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto fields = GoodFields();
        if (c.text) fields[c.field] = c.text;
        else fields.resize(c.field);
        clsRun run;
        EXPECT_FALSE(run.ConvertValues(Join(fields)));
        EXPECT_EQ(run.StopConditionIndex(), 0);
        EXPECT_EQ(run.Geracoes(), 500);
    }
    // The IS list stores its entries one by one up to the missing tenth.
    auto fields = GoodFields();
    fields[20] = "1@2@3@4@5@6@7@8@9";
    clsRun run;
    EXPECT_FALSE(run.ConvertValues(Join(fields)));
    EXPECT_EQ(run.ISElements(), "1@2@3@4@5@6@7@8@9@0");
    EXPECT_EQ(run.NumISElem(), 3);
    EXPECT_DOUBLE_EQ(run.RISTranspRate(), 0.0);
}

}  // namespace
}  // namespace orv
