#include <gtest/gtest.h>

#include <tuple>

#include "common/Conversions.h"
#include "legacy_file/clsFileParser.h"
#include "support/TestSupport.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv {
namespace {

using test::TempDir;

using test::Crlf;
using test::V2File;

TEST(Version, AnswersFromTheFirstLines) {
    const std::pair<const char*, double> cases[] = {
        {"<ORV>\r\n<VERSION>2.0</VERSION>\r\n<NAME>x</NAME>\r\n", 2}, {"<ORV>\r<VERSION>2.0</VERSION>", 2},  // lone CR ends a line
        {"<ORV>\r\n<VERSION>1.0</VERSION>\r\n", 3}, {"<ORV>\r\n<VERSION>2.0</VERSION> \r\n", 3},
        {"<ORV> \r\n<VERSION>2.0</VERSION>\r\n", -1}, {"<orv>\r\n<VERSION>2.0</VERSION>\r\n", -1},
        {"<ORV>\n<VERSION>2.0</VERSION>\r\n", -1},  // a lone LF does not
        {"<Zolvane><ORV 1.00>\r\nrest", 1}, {"<Zolvane><ORVae 1.00>", 1}, {"hello\r\n", -1},
    };
    TempDir dir;
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(clsFileParser().Version(dir.Write("f.kvr", bytes).string()), expected) << bytes;
    const std::string tail(100000, 'x');
    EXPECT_EQ(clsFileParser().Version(dir.Write("f.kvr", "<ORV>" + tail).string()), -1);
    EXPECT_EQ(clsFileParser().Version(dir.Write("f.kvr", "<ORV>\r\n<VERSION>2.0</VERSION>" + tail).string()), 3);
    EXPECT_EQ(clsFileParser().Version((dir.path() / "missing.kvr").string()), -2);
    EXPECT_EQ(clsFileParser().Version(dir.path().string()), -2);
    // A NUL would end the name early at the system call and reach f.kvr.
    EXPECT_EQ(clsFileParser().Version((dir.path() / "f.kvr").string() + std::string("\0.txt", 5)), -2);
    EXPECT_COM_ERROR(clsFileParser().Version(dir.Write("f.kvr", "<ORV>\r\n").string()), 62, "Input past end of file");
    EXPECT_COM_ERROR(clsFileParser().Version(dir.Write("f.kvr", "").string()), 62, nullptr);
}

TEST(SplitTagLine, TagUpToFirstCloseValueUpToNextOpen) {
    const struct { const char *line; bool ok; const char *tag, *value; } cases[] = {
        {"<GENERATIONS>500</GENERATIONS>", true, "GENERATIONS", "500"}, {"<AUTHOR></AUTHOR>", true, "AUTHOR", ""},
        {"<NAME>a>b</NAME>", true, "NAME", "a>b"}, {"<NAME>a<b</NAME>", true, "NAME", "a"},
        {"  <NAME>x</NAME>", true, " <NAME", "x"}, {"<>v<", true, "", "v"},
        {"<RUN>", false, "RUN", "old"},  // the tag is taken before the value fails
        {">x<", false, "old", "old"}, {"no tag", false, "old", "old"},
    };
    for (const auto& c : cases) {
        std::string tag = "old", value = "old";
        EXPECT_EQ(clsFileParser::SplitTagLine(c.line, tag, value), c.ok) << c.line;
        EXPECT_EQ(tag, c.tag) << c.line;
        EXPECT_EQ(value, c.value) << c.line;
    }
}

TEST(LoadFile, EnvelopeFailures) {
    const std::tuple<std::string, int, bool> cases[] = {  // bytes, error, FileFound afterwards
        {"<ORV>\n<VERSION>2.0</VERSION>\n<NAME>x</NAME>\n<RUN>\n", 20015, false},  // no <ATTR>
        {"<ORV>\n<NAME>x</NAME>\n<ATTR>\n", 20015, false},                         // nothing after it
        {"<ORV>\n<NAME>broken\n<ATTR>\n<VALUES>\nx\n", 20015, true},
        {"<ORV>\n<ATTR>\n<GENERATIONS>5</GENERATIONS>\n", 62, true},  // no <VALUES>
        {"<ORV>\n<ATTR>\n<VALUES>\n", 62, true},                        // nothing after it
        {"<ORV>\n<ATTR>\n<GENERATIONS></GENERATIONS>\n<VALUES>\n\n", 13, true},
        {"<ORV>\n<ATTR>\n<SHOWINTERACTIVE>yes</SHOWINTERACTIVE>\n<VALUES>\n\n", 13, true},
        {"<ORV>\n<ATTR>\n<TESTRSQ>-1.#IND</TESTRSQ>\n<VALUES>\n\n", 13, true},
        {"<ORV>\n<ATTR>\n<LFUNCTION>-</LFUNCTION>\n<VALUES>\n\n", 1001, true},
        {"<ORV>\n<ATTR>\n<VALUES>\nshort\n", 5, true},  // no room for the closing lines
        {"<ORV>\n<ATTR>\n<VALUES>\n0123456789abc\n", 5, true},  // one byte short of it
    };
    TempDir dir;
    for (const auto& [bytes, number, fileFound] : cases) {
        clsFileParser parser;
        clsRun run;
        EXPECT_COM_ERROR(parser.LoadFile(dir.Write("f.kvr", Crlf(bytes)).string(), run), number, nullptr);
        EXPECT_EQ(parser.FileFound(), fileFound) << bytes;
    }
    clsFileParser parser;
    clsRun run;
    EXPECT_COM_ERROR(parser.LoadFile((dir.path() / "missing.kvr").string(), run), 53, nullptr);
    EXPECT_COM_ERROR(parser.LoadFile(dir.Write("f.kvr", Crlf("<ORV>\n<RUN>\n")).string(), run), 20015,
                     "The file is invalid or was saved with a different version of ORV.");
}

TEST(LoadFile, ReadsTheRunAndTheValues) {
    TempDir dir;
    // The last header NAME line is the key; one in the RUN block is an unknown tag.
    const auto path = dir.Write("run.kvr", V2File("<GENERATIONS>500</GENERATIONS>\n"
                                                  "<NAME>second > name</NAME>\n"
                                                  "<generations>7</generations>\n"
                                                  "  <CHROMOSOMES>9</CHROMOSOMES>\n"
                                                  "<UNKNOWN>1</UNKNOWN>\n"
                                                  "\n"
                                                  "<PRECISION>0,25</PRECISION>\n",
                                                  "1,5;2\n3;4,5\n", "",
                                                  "<ORV>\n<NAME>first</NAME>\n<NAME>a>b<c</NAME>\n<RUN>\n"))
                          .string();
    clsFileParser parser;
    clsRun run;
    run.Cromossomas(42);
    run.ValidationValues("kept");
    ASSERT_TRUE(parser.LoadFile(path, run));
    EXPECT_EQ(run.Key(), "a>b");
    EXPECT_EQ(parser.RunName(), "a>b");
    EXPECT_EQ(run.Geracoes(), 500);
    EXPECT_EQ(run.Cromossomas(), 42);
    EXPECT_EQ(run.Precision(), 0.25);
    EXPECT_EQ(run.PathFile(), path);
    EXPECT_EQ(run.ValidationValues(), "kept");
    const std::string mark = v2LocaleSettings::DecimalSeparator();
    EXPECT_EQ(run.TrainValues(), ReplaceAll("1,5;2\r\n3;4,5", ",", mark));
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
    const std::pair<std::string, std::string> cases[] = {
        {"1;2\n", "3;4\n5;6\n7;8\n"}, {"1;2\n3;4\n", "5;6\n"}, {"", "9;9\n"}, {"1;1\n", ""}, {"2;2\n", "3;3\n"},
    };
    TempDir dir;
    test::ScopedLocale locale(test::kPointLocale);
    for (const auto& [train, test] : cases) {
        clsRun run;
        run.TrainValues("kept");
        run.ValidationValues("kept");
        clsFileParser().LoadFile(dir.Write("f.kvr", V2File("", train, test)).string(), run);
        const auto expected = [](const std::string& block) {
            return block.empty() ? std::string("kept") : Crlf(block.substr(0, block.size() - 1));
        };
        EXPECT_EQ(run.TrainValues(), expected(train)) << train;
        EXPECT_EQ(run.ValidationValues(), expected(test)) << test;
    }
}

}  // namespace
}  // namespace orv
