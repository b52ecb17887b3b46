#include "common/Conversions.h"
#include "legacy_file/clsFileParser.h"
#include "support/TestSupport.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv {
namespace {

using test::Crlf;
using test::TempDir;
using test::V2File;

TEST(Version, AnswersFromTheFirstLines) {
    TempDir dir;
    for (const auto& row : test::DataRows("legacy_file/data/version.txt")) {
        SCOPED_TRACE(row.where);
        try {
            EXPECT_EQ(std::to_string(static_cast<int>(clsFileParser().Version(dir.Write("f.kvr", row[0]).string()))), row[1]);
        } catch (const ComError& e) {
            EXPECT_EQ("!" + std::to_string(e.Number()), row[1]) << e.Description();
        }
    }
    // A first line of megabytes and a missing file are rows of the hostile
    // corpus and of the command table.
    const std::string tail(100000, 'x');
    EXPECT_EQ(clsFileParser().Version(dir.Write("f.kvr", "<ORV>\r\n<VERSION>2.0</VERSION>" + tail).string()), 3);
    EXPECT_EQ(clsFileParser().Version(dir.path().string()), -2);
    // A NUL would end the name early at the system call and reach f.kvr.
    EXPECT_EQ(clsFileParser().Version((dir.path() / "f.kvr").string() + std::string("\0.txt", 5)), -2);
}

TEST(SplitTagLine, TagUpToFirstCloseValueUpToNextOpen) {
    for (const auto& row : test::DataRows("legacy_file/data/tag-lines.txt")) {
        std::string tag = "old", value = "old";
        const bool ok = clsFileParser::SplitTagLine(row[0], tag, value);
        EXPECT_EQ((ok ? "true|" : "false|") + tag + "|" + value, row[1] + "|" + row[2] + "|" + row[3]) << row.where;
    }
}

// A file gone after the probe, and the texts of the errors, are rows of the
// file-system faults and of the command table.
TEST(LoadFile, EnvelopeFailures) {
    TempDir dir;
    for (const auto& row : test::DataRows("legacy_file/data/envelope.txt")) {
        clsFileParser parser;
        clsRun run;
        std::string outcome = "ok";
        try {
            parser.LoadFile(dir.Write("f.kvr", Crlf(row[0])).string(), run);
        } catch (const ComError& e) {
            outcome = std::to_string(e.Number());
        }
        EXPECT_EQ(outcome + (parser.FileFound() ? " true" : " false"), row[1] + " " + row[2]) << row.where;
    }
}

TEST(LoadFile, ReadsTheRunAndTheValues) {
    // The last header NAME line is the key; one in the RUN block is an unknown tag.
    const std::string path = (std::filesystem::path(ORV_SOURCE_DIR) / "tests" / "legacy_file" / "data" / "names-and-values.kvr").string();
    clsFileParser parser;
    clsRun run;
    run.Cromossomas(42);
    run.ValidationValues("kept");
    ASSERT_TRUE(parser.LoadFile(path, run));
    EXPECT_EQ(run.Key() + "|" + parser.RunName() + "|" + run.PathFile() + "|" + run.ValidationValues(), "a>b|a>b|" + path + "|kept");
    EXPECT_EQ(std::make_tuple(run.Geracoes(), run.Cromossomas(), run.Precision()), std::make_tuple(500, 42, 0.25));
    EXPECT_EQ(run.TrainValues(), ReplaceAll("1,5;2\r\n3;4,5", ",", v2LocaleSettings::DecimalSeparator()));
}

// The header is read 64 KB at a time: a CR LF split between two pieces is one line end.
TEST(LoadFile, ALineEndSplitBetweenReadingPiecesIsOne) {
    const std::size_t before = Crlf("<ORV>\n<VERSION>2.0</VERSION>\n<NAME>demo</NAME>\n<RUN>\n<ATTR>\n").size();
    TempDir dir;
    clsRun run;
    clsFileParser().LoadFile(dir.Write("f.kvr", V2File(std::string(65535 - before, 'x') + "\n<GENERATIONS>5</GENERATIONS>\n")).string(), run);
    EXPECT_EQ(run.Geracoes(), 5);
}

// Whichever values text is the larger takes over the file's buffer and the
// other is copied; an empty block leaves the record's text as it was.
TEST(LoadFile, BothValuesTextsArriveWhateverTheirSizes) {
    TempDir dir;
    test::ScopedLocale locale(test::kPointLocale);
    const auto expected = [](const std::string& block) {
        return block.empty() ? std::string("kept") : Crlf(block.substr(0, block.size() - 1));
    };
    for (const auto& row : test::DataRows("legacy_file/data/values-blocks.txt")) {
        const std::string &train = row[0], &test = row[1];
        clsRun run;
        run.TrainValues("kept");
        run.ValidationValues("kept");
        clsFileParser().LoadFile(dir.Write("f.kvr", V2File("", train, test)).string(), run);
        EXPECT_EQ(run.TrainValues() + "|" + run.ValidationValues(), expected(train) + "|" + expected(test)) << row.where;
    }
}

// The blocks of a file of any layout come out as its whole text places them.
TEST(LoadFile, ValuesBlocksOfAnyLayout) {
    TempDir dir;
    test::ScopedLocale locale(test::kPointLocale);
    const std::string head = Crlf("<ORV>\n<VERSION>2.0</VERSION>\n<NAME>demo</NAME>\n<RUN>\n<ATTR>\n</RUN>\n<VALUES>\n");
    for (const auto& row : test::DataRows("legacy_file/data/values-layouts.txt")) {
        clsRun run;
        run.TrainValues("kept");
        run.ValidationValues("kept");
        std::string outcome;
        try {
            clsFileParser().LoadFile(dir.Write("f.kvr", head + row[0]).string(), run);
            outcome = run.TrainValues() + "|" + run.ValidationValues();
        } catch (const ComError& e) {
            outcome = "!" + std::to_string(e.Number());
        }
        EXPECT_EQ(outcome, row.fields.size() > 2 ? row[1] + "|" + row[2] : row[1]) << row.where;
    }
}

}  // namespace
}  // namespace orv
