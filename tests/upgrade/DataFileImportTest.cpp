#include <charconv>

#include "legacy_file/clsFileParser.h"
#include "support/TestSupport.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv {
namespace {

using namespace v2LocaleSettings;

// "{TEXT*N}" stands for TEXT repeated N times.
std::string Expanded(const std::string& text) {
    const auto open = text.find('{'), star = text.find('*', open), close = text.find('}', star);
    if (open == std::string::npos) return text;
    std::string out = text.substr(0, open);
    for (int i = std::stoi(text.substr(star + 1, close - star - 1)); i > 0; --i) out += text.substr(open + 1, star - open - 1);
    return out + Expanded(text.substr(close + 1));
}

TEST(DataFileImport, CountsChecksAndStoresTheTrainingSet) {
    test::ScopedLocale locale(test::kPointLocale);
    test::TempDir dir;
    for (const auto& row : test::DataRows("upgrade/data/imports.txt")) {
        SCOPED_TRACE(row.where);
        const std::string file = Expanded(row[0]), path = dir.Write("data.txt", file).string();
        clsRun run;
        run.FieldNamesExistem(row[1] == "true");
        run.FieldNames("old names");
        run.TrainValues("old values");
        clsFileParser parser;
        const bool accepted = parser.OpenDataFile(path, 0, std::stoi(row[2]), run);
        EXPECT_EQ(accepted ? "true" : "false", row[3]);
        EXPECT_EQ(std::to_string(run.NumeroTerminais()) + "|" + run.FieldNames(), row[4] + "|" + row[7]);
        const std::string count = accepted ? row[5] : "0";
        EXPECT_EQ(std::to_string(parser.NumeroValoresFicheiro()) + " " + std::to_string(run.NumeroResultadosExp()) + " " +
                      std::to_string(run.TrainingNumeroValoresFicheiro()),
                  count + " " + count + " " + count);
        EXPECT_EQ(run.TrainValues(), accepted ? (row[6] == "=" ? file : Expanded(row[6])) : "old values");
        EXPECT_EQ(run.TrainPathFile(), accepted ? path : "");
    }
}

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

// One operation reads every number with the mark it found at its start; the
// next one sees a changed locale.
TEST(LocaleTest, AnOperationKeepsTheMarkItStartedWith) {
    test::ScopedLocale comma(test::kCommaLocale);
    {
        const OperationSeparator operation;
        test::ScopedLocale point(test::kPointLocale);
        const OperationSeparator inner;
        for (const std::string& mark : {DecimalSeparator(), operation.Mark(), inner.Mark()}) EXPECT_EQ(mark, ",");
        std::string text = "1.5;2.5";
        NormaliseDecimals(text, ";");
        EXPECT_EQ(text, "1,5;2,5");
    }
    EXPECT_EQ(DecimalSeparator(), ",");
    test::ScopedLocale point(test::kPointLocale);
    EXPECT_EQ(OperationSeparator().Mark(), ".");
}

TEST(LocaleTest, NumbersAndDataTextsFollowTheLocale) {
    for (const auto& row : test::DataRows("upgrade/data/locale.txt")) {
        const auto space = row[2].find(' ');
        const std::string locale = row[2].substr(0, space), separator = space == std::string::npos ? "" : row[2].substr(space + 1);
        test::ScopedLocale scoped(locale == "comma" ? test::kCommaLocale : locale == "point" ? test::kPointLocale : "xx_XX.UTF-8");
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
