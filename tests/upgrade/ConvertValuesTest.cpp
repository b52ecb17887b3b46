#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "legacy_file/clsFileParser.h"
#include "run_record/clsRun.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

TEST(ConvertValues, TakesTheFieldsUpToTheFirstBadOne) {
    for (const char* locale : {test::kPointLocale, test::kCommaLocale}) {
        for (const auto& row : test::DataRows("upgrade/data/settings-lines.txt")) {
            std::vector<std::string> fields = {"C:\\data", "500", "1", "60", "7", "1", "25", "5", "3", "0.01", "2", "100",
                                               "0.044", "0.3", "0,3", "0.1", "0.1", "+-*/PT", "0.1", "3",
                                               "1@2@3@0@0@0@0@0@0@0", "0.1", "2", "4@5@0@0@0@0@0@0@0@0"};
            if (row[1] == "cut") fields.resize(std::stoul(row[0]));
            else if (!row[0].empty()) fields[std::stoul(row[0])] = row[1];
            std::string line;
            for (const auto& f : fields) line += (line.empty() ? "" : "#") + f;
            clsRun run;
            {
                test::ScopedLocale scoped(locale);
                EXPECT_EQ(run.ConvertValues(line) ? "true" : "false", row[2]) << locale << " " << row.where;
            }
            test::ScopedLocale point(test::kPointLocale);
            EXPECT_THAT(clsFileParser().WriteRunBlock(run), testing::HasSubstr(row[3] + "\r\n")) << locale << " " << row.where;
        }
    }
}

}  // namespace
}  // namespace orv
