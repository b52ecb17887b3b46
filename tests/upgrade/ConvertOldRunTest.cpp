#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "legacy_file/clsFileParser.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"
#include "upgrade/Version1File.h"

namespace orv::upgrade {
namespace {

namespace fs = std::filesystem;

std::string Settings(Long train, Long validation, Long terminals) {
    return "C:\\d#100#2#30#4#0#" + std::to_string(train) + "#" + std::to_string(validation) + "#" +
           std::to_string(terminals) + "#0#0#100#0.044#0.3#0.3#0.1#0.1#+-*/PT#0.1#1#1@0@0@0@0@0@0@0@0@0#0.1#1#" +
           "1@0@0@0@0@0@0@0@0@0";
}

// A version-1.0 file: header, settings, name, two unread lines, Karva, six
// fitness figures, two paths, then the data section.
std::string Version1Text(const std::string& settings, const std::vector<std::string>& data,
                         const std::string& header = "<Zolvane><ORV 1.00>") {
    std::vector<std::string> lines = {header, settings, "Run", "", "", "+ab", "1", "2", "0.5", "3", "4", "0.25",
                                      "train.txt", "test.txt"};
    lines.insert(lines.end(), data.begin(), data.end());
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    return text;
}

clsRun Load(const std::string& path) {
    clsRun run;
    run.GravadoEmVersaoAnterior(true);
    clsFileParser().LoadFile(path, run);
    return run;
}

TEST(Version1Pieces, RenamesOldSymbolsInOrder) {
    const std::pair<const char*, const char*> cases[] = {
        {"+a*bd", "+d0*d1d3"}, {"+-*/PT", "+-*/^G"}, {"Pcj + Tef", "^d2d9 + Gd4d5"}, {"ghi", "d6d7d8"}};
    for (const auto& [old, renamed] : cases) EXPECT_EQ(RenameVersion1Symbols(old), renamed);
}

TEST(Version1Pieces, StoresNumbersUnderKnownTagsOnly) {
    test::ScopedLocale locale(test::kCommaLocale);
    Version1Tables t{std::vector<Version1Row>(2), std::vector<Version1Row>(2)};
    StoreVersion1Value(t, "<TerminalB>", 1, "2.5");
    StoreVersion1Value(t, "<ValVarDep>", 0, "-1,5");
    StoreVersion1Value(t, "<VarDep>", 0, "n/a");
    StoreVersion1Value(t, "<TerminalK>", 0, "9");
    EXPECT_DOUBLE_EQ(t.Training[1][1], 2.5);
    EXPECT_DOUBLE_EQ(t.Validation[0][kDependentColumn], -1.5);
    EXPECT_DOUBLE_EQ(t.Training[0][kDependentColumn], 0.0);
    EXPECT_EQ(t.Training[0], Version1Row{});
}

TEST(Version1Pieces, DataTextHoldsTheTerminalsInUseAndTheDependentVariable) {
    const std::vector<Version1Row> table = {{1, 2, 7, 7, 7, 7, 7, 7, 7, 7, 3}, {4, 5.5, 0, 0, 0, 0, 0, 0, 0, 0, 6}};
    EXPECT_EQ(Version1DataText(table, 2, 2, "."), "1 2 3\r\n4 5.5 6\r\n");
    EXPECT_EQ(Version1DataText(table, 1, 0, ","), "3\r\n");
    EXPECT_EQ(Version1DataText(table, 2, 1, ","), "1 3\r\n4 6\r\n");
    EXPECT_COM_ERROR(Version1DataText(table, 1, 12, "."), err::kSubscriptOutOfRange, nullptr);
}

TEST(ConvertOldRun, BundledExamplesLoadUpgraded) {
    test::ScopedLocale locale(test::kPointLocale);
    const std::string folder = platform::ModuleFolder();
    for (const char* name : {"v1-regression.kvr", "v1-classification.kvr"}) {
        SCOPED_TRACE(name);
        const std::string path = (test::ExamplesDir() / name).string();
        const clsRun run = Load(path);
        EXPECT_TRUE(run.GravadoEmVersaoAnterior());
        EXPECT_EQ(run.PathFile(), path);
        EXPECT_EQ(run.Karva().find_first_of("abcPT"), std::string::npos) << run.Karva();
        EXPECT_EQ(run.TrainPathFile(), folder + "/traintemp.tmp");
        EXPECT_TRUE(fs::exists(folder + "/_kvr_temp_tmp_28214855245.kvr"));
        EXPECT_FALSE(fs::exists(folder + "/traintemp.tmp"));
        EXPECT_FALSE(fs::exists(folder + "/valtemp.tmp"));
    }
    const clsRun regression = Load((test::ExamplesDir() / "v1-regression.kvr").string());
    EXPECT_EQ(regression.FunctionSet(), "+-*/^");
    EXPECT_EQ(regression.NumeroTerminais(), 2);
    EXPECT_EQ(regression.NumeroResultadosExp(), 8);
    EXPECT_EQ(regression.NumeroResultadosValidar(), 4);
    EXPECT_EQ(regression.ValidationValues().substr(0, 15), "1.2 3 13.5717\r\n");
    const clsRun classification = Load((test::ExamplesDir() / "v1-classification.kvr").string());
    EXPECT_EQ(classification.Karva(), "Gd0d2d1d2d0d0d1d1d0d2 * -d1d0d2d0d1d1d2d0d0d2");
    EXPECT_EQ(classification.LinkingFunction(), "*");
    EXPECT_EQ(classification.TrainValues().substr(0, 14), "0.5 1.25 2 1\r\n");
    EXPECT_EQ(classification.ValidationValues(), "");
    EXPECT_EQ(classification.TrainingNumeroValoresFicheiro(), 6);
}

TEST(ConvertOldRun, DataSectionWalk) {
    test::ScopedLocale locale(test::kPointLocale);
    test::TempDir dir;
    struct Case {
        const char* what;
        std::string settings;
        std::vector<std::string> data;
        std::string train;
    };
    const Case cases[] = {
        {"columns beyond the terminals in use are not written", Settings(2, 0, 2),
         {"<TerminalA>", "1", "4", "<TerminalB>", "2", "5", "<TerminalC>", "8", "9", "<VarDep>", "3", "6"},
         "1 2 3\r\n4 5 6\r\n"},
        {"values beyond the row count are ignored", Settings(1, 0, 1), {"<TerminalA>", "1", "2", "<VarDep>", "3"},
         "1 3\r\n"},
        {"a non-numeric value still takes its row; empty lines take none", Settings(3, 0, 0),
         {"<VarDep>", "x", "", "7", "8"}, "0\r\n7\r\n8\r\n"},
        // A tag right after a tag is read as a value of the first one.
        {"a second tag in a row is a value line", Settings(2, 0, 1), {"<TerminalA>", "<VarDep>", "5", "6"},
         "0 0\r\n5 0\r\n"},
        {"validation values fill the validation table only", Settings(1, 1, 0), {"<ValVarDep>", "9", "<VarDep>", "1"},
         "1\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto path = dir.Write("run.kvr", Version1Text(c.settings, c.data)).string();
        EXPECT_EQ(Load(path).TrainValues(), c.train);
    }
}

TEST(ConvertOldRun, LinesInTheLastFourteenEntriesOfTheTableAreNotRead) {
    test::ScopedLocale locale(test::kPointLocale);
    test::TempDir dir;
    // The table has room for lines 0 to 30000; the walk ends at line 29986.
    std::vector<std::string> data = {"<VarDep>"};
    for (int line = 15; line <= 29990; ++line) data.push_back(std::to_string(line));
    const auto path = dir.Write("long.kvr", Version1Text(Settings(30000, 0, 0), data)).string();
    const std::string text = Load(path).TrainValues();
    EXPECT_NE(text.find("\r\n29986\r\n0\r\n"), std::string::npos);
    EXPECT_EQ(text.find("29987"), std::string::npos);
}

TEST(ConvertOldRun, RefusesForeignHeadersAndImpossibleCounts) {
    test::TempDir dir;
    const auto newer = dir.Write("a.kvr", Version1Text(Settings(1, 0, 0), {}, "<Zolvane><ORV 2.00>")).string();
    clsRun run;
    clsFileParser parser;
    try {
        parser.ConvertOldRun(newer, run);
        ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.Number(), 2001);
        EXPECT_EQ(e.Source(), "frmMain::OpenRun");
        EXPECT_EQ(e.Description(), "This file is invalid or was saved with a newer version of ORV.");
    }
    for (const auto& settings : {Settings(2000000000, 0, 1), Settings(1, 40000, 1)}) {
        const auto huge = dir.Write("b.kvr", Version1Text(settings, {"<VarDep>", "1"})).string();
        EXPECT_COM_ERROR(parser.ConvertOldRun(huge, run), err::kOutOfMemory, "Out of memory");
    }
    EXPECT_COM_ERROR(parser.ConvertOldRun("", run), 91, nullptr);
    EXPECT_FALSE(run.GravadoEmVersaoAnterior());
}

// Upgrades share the temporary names in one folder; run several at once and
// check that each got its own data.
TEST(ConvertOldRun, ConcurrentUpgradesKeepTheirOwnData) {
    test::ScopedLocale locale(test::kPointLocale);
    test::TempDir dir;
    constexpr int kRuns = 4;
    std::vector<std::string> paths;
    for (int i = 0; i < kRuns; ++i) {
        std::vector<std::string> data = {"<VarDep>"};
        for (int row = 0; row < 500; ++row) data.push_back(std::to_string(i * 1000 + row));
        paths.push_back(dir.Write("run" + std::to_string(i) + ".kvr", Version1Text(Settings(500, 0, 0), data)).string());
    }
    std::vector<std::string> results(kRuns);
    std::vector<std::thread> threads;
    for (int i = 0; i < kRuns; ++i)
        threads.emplace_back([&, i] {
            auto& result = results[static_cast<std::size_t>(i)];
            try {
                for (int round = 0; round < 5; ++round) result += Load(paths[static_cast<std::size_t>(i)]).TrainValues();
            } catch (const ComError& e) {
                result = "error: " + e.Description();
            }
        });
    for (auto& t : threads) t.join();
    for (int i = 0; i < kRuns; ++i) {
        std::string one;
        for (int row = 0; row < 500; ++row) one += std::to_string(i * 1000 + row) + "\r\n";
        std::string expected;
        for (int round = 0; round < 5; ++round) expected += one;
        EXPECT_EQ(results[static_cast<std::size_t>(i)], expected) << "run " << i;
    }
}

}  // namespace
}  // namespace orv::upgrade
