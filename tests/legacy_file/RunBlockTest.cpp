#include <gmock/gmock.h>

#include "legacy_file/clsFileParser.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"
#include "common/Conversions.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv {
namespace {

using test::ScopedLocale;
using test::TempDir;

TEST(PreencherRun, AppliesTheLinesInOrder) {
    for (const char* locale : {test::kPointLocale, test::kCommaLocale}) {
        for (const auto& row : test::DataRows("legacy_file/data/run-block-lines.txt")) {
            clsRun run;
            std::string outcome;
            {
                ScopedLocale scoped(locale);
                try {
                    for (std::size_t i = 0; i + 1 < row.fields.size(); i += 2) clsFileParser().PreencherRun(row[i], row[i + 1], run);
                } catch (const ComError& e) {
                    outcome = "!" + std::to_string(e.Number()) + " ";
                }
            }
            ScopedLocale point(test::kPointLocale);
            const std::string& expected = row.fields.back();
            EXPECT_EQ(outcome, expected[0] == '!' ? expected.substr(0, expected.find(' ') + 1) : "") << locale << " " << row.where;
            EXPECT_THAT(clsFileParser().WriteRunBlock(run), testing::HasSubstr(expected.substr(outcome.size()) + "\r\n"))
                << locale << " " << row.where;
        }
    }
    clsRun run;  // the letters of the comparison functions in old files
    clsFileParser().PreencherRun("FUNCSET", "+-*/wW", run);
    EXPECT_EQ(run.FunctionSet(), "+-*/<>");
}

// A run with every setting of the RUN block away from its default, and texts
// and values that need escaping or a decimal mark.
clsRun FullRun() {
    ScopedLocale point(test::kPointLocale);
    clsRun r;
    clsFileParser().LoadFile(ORV_SOURCE_DIR "/tests/legacy_file/data/full-run.kvr", r);
    return r;
}

class RoundTrip : public testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(RoundTrip, GivesEveryTaggedPropertyBack) {
    const auto [writeLocale, readLocale] = GetParam();
    TempDir dir;
    clsRun saved = FullRun();
    std::string saveDate;
    {
        ScopedLocale scoped(writeLocale);
        ASSERT_TRUE(clsFileParser().SaveKvr((dir.path() / "run").string(), saved));
        saveDate = platform::TodayShortDate();
    }
    ScopedLocale scoped(readLocale);
    clsRun loaded;
    ASSERT_TRUE(clsFileParser().LoadFile((dir.path() / "run.kvr").string(), loaded));
    // Each row rendered as the writer renders it, in one locale, is the same
    // for both records; only the save date replaces the record's own.
    EXPECT_EQ(clsFileParser().WriteRunBlock(loaded), clsFileParser().WriteRunBlock(saved));
    const std::string mark = v2LocaleSettings::DecimalSeparator();
    EXPECT_EQ(loaded.LastSaved() + "|" + loaded.Key() + "|" + loaded.TrainValues() + "|" + loaded.ValidationValues(),
              saveDate + "|" + saved.Key() + "|" + ReplaceAll(saved.TrainValues(), ".", mark) + "|" + saved.ValidationValues());
}

INSTANTIATE_TEST_SUITE_P(Locales, RoundTrip,
                         testing::Values(std::pair{test::kPointLocale, test::kPointLocale},
                                         std::pair{test::kCommaLocale, test::kCommaLocale},
                                         std::pair{test::kCommaLocale, test::kPointLocale},
                                         std::pair{test::kPointLocale, test::kCommaLocale}));

TEST(SaveKvr, RewritesAHandWrittenRunLineForLine) {
    ScopedLocale scoped(test::kPointLocale);
    TempDir dir;
    const auto example = (test::HandWrittenDir() / "regression.kvr").string();
    clsRun run;
    clsFileParser().LoadFile(example, run);
    clsFileParser().SaveKvr((dir.path() / "copy.kvr").string(), run);
    const std::string expected = ReplaceAll(test::ReadAll(example), "<LASTSAVED>14/03/2005</LASTSAVED>",
                                            "<LASTSAVED>" + platform::TodayShortDate() + "</LASTSAVED>");
    EXPECT_EQ(test::ReadAll(dir.path() / "copy.kvr"), expected);
}

TEST(SaveKvr, EmptyBlocksAndTheExtensionRule) {
    const std::pair<const char*, const char*> cases[] = {{"run", "run.kvr"}, {"run.kvr", "run.kvr"}, {".kvr", ".kvr.kvr"}, {"abc", "abc.kvr"}, {"a.kv", "a.kv.kvr"},
                 {"run.KVR", "run.KVR.kvr"}, {"run.kvr.txt", "run.kvr.txt.kvr"}};
    TempDir dir;
    // Bare names, so that the short ones are really short.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    clsRun run;
    run.Key("k");
    for (const auto& [name, file] : cases) {
        ASSERT_TRUE(clsFileParser().SaveKvr(name, run));
        EXPECT_NE(test::ReadAll(dir.path() / file).find("</RUN>\r\n<VALUES>\r\n\r\n<TRAIN>\r\n</TRAIN>\r\n<TEST>\r\n</TEST>\r\n</VALUES>\r\n</ORV>\r\n"),
                  std::string::npos)
            << name;
    }
    std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace orv
