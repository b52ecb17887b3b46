#include <gtest/gtest.h>

#include <string>
#include <tuple>
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

TEST(ConvertValues, TakesAllFieldsInEitherLocale) {
    for (const char* name : {test::kPointLocale, test::kCommaLocale}) {
        test::ScopedLocale locale(name);
        clsRun run;
        ASSERT_TRUE(run.ConvertValues(Join(GoodFields())));
        // Genes 1 is stored directly, so the linking code "*" of field 5 stays.
        EXPECT_EQ(std::make_tuple(run.Genes(), run.LinkingFunction(), run.ErrorType(), run.TwoPointRec(), run.FunctionSet(),
                                  run.RISElements(), run.StopConditionIndex()),
                  std::make_tuple(1, "*", 2, 0.3, "+-*/^G", "4@5@0@0@0@0@0@0@0@0", 2));
    }
}

// A failure keeps what was stored before the failing field and skips the
// stop condition.
TEST(ConvertValues, StopsAtTheFirstBadField) {
    const std::pair<std::size_t, const char*> cases[] = {
        {3, "sixty"}, {10, "7"}, {20, "1@2@3@4@5@6@7@8@9"}, {23, nullptr}};  // nullptr: the line ends before
    for (const auto& [field, text] : cases) {
        SCOPED_TRACE(field);
        auto fields = GoodFields();
        if (text) fields[field] = text;
        else fields.resize(field);
        clsRun run;
        EXPECT_FALSE(run.ConvertValues(Join(fields)));
        EXPECT_EQ(run.StopConditionIndex(), 0);
        EXPECT_EQ(run.Geracoes(), 500);
        // The IS list is stored entry by entry up to the missing tenth.
        EXPECT_EQ(run.ISElements(), field == 20 ? "1@2@3@4@5@6@7@8@9@0" : field < 20 ? "0@0@0@0@0@0@0@0@0@0"
                                                                                      : "1@2@3@0@0@0@0@0@0@0");
    }
}

}  // namespace
}  // namespace orv
