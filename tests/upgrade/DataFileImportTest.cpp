#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "legacy_file/clsFileParser.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

struct ImportCase {
    const char* what;
    std::string file;
    bool namesLine;
    Long separator;  // 0 space, 1 ";", 2 tab, 3 ","
    bool accepted;
    Long terminals, count;
    std::string text, names;  // the stored data text and FieldNames
};

const ImportCase kCases[] = {
    {"one record", "1;2;3", false, 1, true, 2, 1, "1;2;3", ""},
    {"names line", "x;y;z\r\n1;2;3\r\n4;5;6", true, 1, true, 2, 2, "1;2;3\r\n4;5;6", "x;y;z"},
    {"non-numeric last field", "1 2 abc\r\n3 4 def\r\n", false, 0, true, 2, 2, "1 2 abc\r\n3 4 def\r\n", ""},
    {"non-numeric terminal", "abc 2 3\r\n", false, 0, false, 2, 0, "", ""},
    {"lines after the first empty line", "1;2\r\n3;4\r\n\r\n5;6\r\n", false, 1, true, 1, 2,
     "1;2\r\n3;4\r\n\r\n5;6\r\n", ""},
    {"runs of spaces", "  1    2  3\r\n 4   5 6  ", false, 0, true, 2, 2, "1 2 3\r\n4 5 6", ""},
    // Three separators are one left-to-right pass away from two.
    {"tripled separator", "1;;;2\r\n", false, 1, false, 2, 0, "", ""},
    {"lone CR ends a line", "1\t2\r3\t4", false, 2, true, 1, 2, "1\t2\r3\t4", ""},
    {"comma decimals, semicolon separator", "1,5;2,5", false, 1, true, 1, 1, "1.5;2.5", ""},
};

void PrintTo(const ImportCase& c, std::ostream* os) { *os << c.what; }

class DataFileImport : public ::testing::TestWithParam<ImportCase> {};

TEST_P(DataFileImport, CountsChecksAndStoresTheTrainingSet) {
    const ImportCase& c = GetParam();
    SCOPED_TRACE(c.what);
    test::ScopedLocale locale(test::kPointLocale);
    test::TempDir dir;
    const auto path = dir.Write("data.txt", c.file).string();
    clsRun run;
    run.FieldNamesExistem(c.namesLine);
    run.FieldNames("old names");
    run.TrainValues("old values");
    clsFileParser parser;
    ASSERT_EQ(parser.OpenDataFile(path, 0, c.separator, run), c.accepted);
    EXPECT_EQ(run.NumeroTerminais(), c.terminals);
    EXPECT_EQ(run.FieldNames(), c.names);
    if (!c.accepted) {
        EXPECT_EQ(run.TrainValues(), "old values");
        EXPECT_EQ(run.TrainPathFile(), "");
        return;
    }
    EXPECT_EQ(parser.NumeroValoresFicheiro(), c.count);
    EXPECT_EQ(run.NumeroResultadosExp(), c.count);
    EXPECT_EQ(run.TrainingNumeroValoresFicheiro(), c.count);
    EXPECT_EQ(run.TrainValues(), c.text);
    EXPECT_EQ(run.TrainPathFile(), path);
}

INSTANTIATE_TEST_SUITE_P(Files, DataFileImport, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return "Case" + std::to_string(p.index); });

TEST(DataFileImportSets, ValidationSetLeavesFieldNamesAndTrainingAlone) {
    test::TempDir dir;
    clsRun run;
    run.FieldNamesExistem(true);
    run.FieldNames("kept");
    run.TrainValues("train");
    run.ValPathFile(dir.Write("val.txt", "u v w\r\n1 2 3 4\r\n5 6 7 8\r\n").string());
    clsFileParser().OpenDataFileRun(1, run);
    EXPECT_EQ(run.FieldNames() + run.TrainValues(), "kepttrain");
    EXPECT_EQ(run.NumeroTerminais(), 3);
    EXPECT_EQ(run.NumeroResultadosValidar(), 2);
    EXPECT_EQ(run.ValidationValues(), "1 2 3 4\r\n5 6 7 8\r\n");
}

TEST(DataFileImportSets, FileErrorsReachTheCallerUnderTheImportsName) {
    test::TempDir dir;
    clsRun run;
    run.FieldNamesExistem(true);
    const std::pair<std::string, Long> cases[] = {{dir.Write("names.txt", "x;y\r\n").string(), err::kInputPastEndOfFile},
                                                  {(dir.path() / "missing.txt").string(), err::kFileNotFound}};
    for (const auto& [path, number] : cases) {
        try {
            clsFileParser().OpenDataFile(path, 0, 1, run);
            ADD_FAILURE() << "no error";
        } catch (const ComError& e) {
            EXPECT_EQ(e.Number(), number);
            EXPECT_EQ(e.Source(), "clsFileParser::OpenDataFile");
        }
    }
}

}  // namespace
}  // namespace orv
