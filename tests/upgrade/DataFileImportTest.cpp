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

std::string Repeated(const std::string& line, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += line;
    return out;
}

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
    // The count looks at long texts a block at a time.
    {"empty line far into the file", Repeated("1;2\r\n", 70) + "\r\n" + Repeated("5;6\r\n", 70), false, 1, true, 1,
     70, Repeated("1;2\r\n", 70) + "\r\n" + Repeated("5;6\r\n", 70), ""},
    {"lone CRs, then an empty line after CR LF", Repeated("1;2\r", 69) + "1;2\r\n\r\n" + Repeated("5;6\r", 70), false,
     1, true, 1, 70, Repeated("1;2\r", 69) + "1;2\r\n\r\n" + Repeated("5;6\r", 70), ""},
    {"a line that starts with LF is a record", Repeated("1;2\r\n", 69) + "\n1;2\r\n\r" + Repeated("5;6\r\n", 70),
     false, 1, true, 1, 70, Repeated("1;2\r\n", 69) + "\n1;2\r\n\r" + Repeated("5;6\r\n", 70), ""},
    {"doubled space far into the file", Repeated("1 2\r\n", 70) + "3  4\r\n" + Repeated("1 2\r\n", 70), false, 0, true, 1,
     141, Repeated("1 2\r\n", 70) + "3 4\r\n" + Repeated("1 2\r\n", 70), ""},
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
    for (const auto& [path, number] : cases)
        EXPECT_COM_ERROR_FROM(clsFileParser().OpenDataFile(path, 0, 1, run), number, nullptr, "clsFileParser::OpenDataFile");
}

}  // namespace
}  // namespace orv
