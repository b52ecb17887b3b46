#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <regex>
#include <sstream>

#include "cli/CliRun.h"
#include "common/Conversions.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

using test::TempDir;

// Texts arrive as UTF-8, numbers and booleans with their JSON types.
TEST(Record, PrintsTheRecordAsJson) {
    const Result r = Orvconvert("record " + Quoted(test::HandWrittenDir() / "regression.kvr"));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["Key"], "Pump efficiency");
    EXPECT_EQ(j["Author"], "Jos\xc3\xa9 Martins <jmartins@hydro.example>");
    EXPECT_EQ(j["FunctionSet"], "+-*/QE");
    EXPECT_EQ(j["GravadoEmVersaoAnterior"], false);
    EXPECT_TRUE(j["Geracoes"].is_number_integer() && j["Mutation"].is_number_float() && j["ShowInteractive"].is_boolean());
}

TEST(Record, ErrorsGiveOneLineAndStatusOne) {
    TempDir dir;
    const auto missing = dir.path() / "\xce\xbb\xce\xb5\xce\xaf\xcf\x80\xce\xb5\xce\xb9 \xe6\xac\xa0.kvr";  // a Greek and CJK name, shown as given
    const auto invalid = dir.Write("bad.kvr", "<ORV>\r\n<VERSION>2.0</VERSION>\r\n<RUN>\r\n");
    const auto hugeHead = dir.Write("head.kvr", test::V2File("<HEAD>2000000000</HEAD>\n<FUNCSET>+</FUNCSET>\n"));
    const struct { std::filesystem::path file; std::string line; } cases[] = {
        // Which error a file gives is the load step's; here, how the line reads with and without a source.
        {missing, "error 5004: File not found."},
        {invalid, "error 20015: The file is invalid or was saved with a different version of ORV. [clsFileParser]"},
    };
    for (const auto& c : cases) {
        const Result r = Orvconvert("record " + Quoted(c.file));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "orvconvert: " + c.file.string() + ": " + c.line + "\n");
        EXPECT_EQ(r.out, "");
    }
    // A derived size that overflows shows as null; the dump still succeeds.
    const Result r = Orvconvert("record " + Quoted(hugeHead));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_TRUE(j["TamanhoGene"].is_null());
    EXPECT_EQ(j["Head"], 2000000000);
}

TEST(Usage, BadArgumentsGiveStatusTwo) {
    for (const char* args : {"record", "frobnicate x", "record --encoding no-such-code-page x.kvr",
                             "convert --encoding no-such-code-page x.kvr", "upgrade x.kvr"}) {
        EXPECT_EQ(Orvconvert(args).status, 2) << args;
    }
    EXPECT_EQ(Orvconvert("--version").status, 0);
    EXPECT_EQ(Orvconvert("record --help").status, 0);
}

// The calls themselves are the adapter's golden files; here only that the
// command prints each as one JSON line, in the code page asked for.
TEST(Calls, OneJsonLinePerHostCallInTheCodePageAskedFor) {
    const auto file = Quoted(test::ExamplesDir() / "regression.kvr");
    for (const auto& [encoding, author] : {std::pair{"", "Jos\xc3\xa9"}, std::pair{"--encoding ISO-8859-7 ", "Jos\xce\xb9"}}) {
        std::istringstream in(Orvconvert(std::string("calls ") + encoding + file).out);
        std::string line;
        while (std::getline(in, line) && nlohmann::json::parse(line)["call"] != "SetAuthor") {}
        EXPECT_EQ(nlohmann::json::parse(line)["author"], author + std::string(" Martins <jmartins@hydro.example>"));
    }
}

TEST(Convert, OneJsonPerFileAndOnPastFailures) {
    TempDir out;
    const Result r = Orvconvert("convert " + Quoted(test::HandWrittenDir() / "regression.kvr") + " " +
                                Quoted(out.path() / "missing.kvr") + " --out-dir " + Quoted(out.path()));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.kvr: error 5004: File not found."), std::string::npos) << r.err;
    const auto run = nlohmann::json::parse(test::ReadAll(out.path() / "regression.json"));
    EXPECT_EQ(run["key"], "Pump efficiency");
}

TEST(Info, PrintsTheBestModelAsAFormula) {
    const Result r = Orvconvert("info " + Quoted(test::HandWrittenDir() / "regression.kvr"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Best model:    [((flow+head)*(sqrt(flow)-speed))] + [(head/(speed*flow))] + [exp(speed)]\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Training data: 12 records\n"), std::string::npos) << r.out;

    // Records are the lines with more than blanks and CRs on them, wherever
    // the blank ones fall among the counting's blocks.
    TempDir dir;
    std::string train;
    for (int i = 0; i < 40; ++i) train += std::string(i % 7 == 0 ? " \t\n" : i % 5 == 0 ? "\n" : "") + " 1;2\n";
    const auto file = dir.Write("blank.kvr", test::V2File("<FUNCSET>+</FUNCSET>\n", train + " ", "\r\n3;4"));
    const Result blank = Orvconvert("info " + Quoted(file));
    ASSERT_EQ(blank.status, 0) << blank.err;
    EXPECT_NE(blank.out.find("Training data: 40 records\nTest data:     1 records\n"), std::string::npos) << blank.out;
}

// Each bundled example is a run that its model fits: the R-squares info
// recomputes are the stored ones to the digits the file keeps, the best
// fitness lies within the maximum, and the history ends at the best.
TEST(Info, ExamplesAgreeWithTheirModels) {
    const std::regex figures(R"(best (\S+) of (\S+), R-square (\S+), recomputed (\S+))");
    const std::regex lastHistoryEntry("<EVOLHISTORY>.*;([^;]*)</EVOLHISTORY>");
    const auto number = [](std::string text) { return std::stod(ReplaceAll(text, ",", ".")); };
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::ExamplesDir())) {
        if (entry.path().extension() != ".kvr") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++examples;
        const Result r = Orvconvert("info " + Quoted(entry.path()));
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<std::smatch> sets(std::sregex_iterator(r.out.begin(), r.out.end(), figures), {});
        ASSERT_EQ(sets.size(), 2u) << r.out;  // training, then test
        for (const std::smatch& m : sets) {
            EXPECT_LE(number(m[1]), number(m[2])) << m[0];
            if (number(m[2]) == 0) continue;  // no test data
            const std::string stored = m[3];
            const auto point = stored.find('.');
            const double digits = point == std::string::npos ? 0.0 : static_cast<double>(stored.size() - point - 1);
            EXPECT_LE(std::fabs(number(m[4]) - number(stored)), 0.5 * std::pow(10.0, -digits)) << m[0];
        }
        std::smatch history;
        const std::string bytes = test::ReadAll(entry.path());
        if (std::regex_search(bytes, history, lastHistoryEntry)) {
            EXPECT_EQ(number(history[1]), number(sets[0][1]));
        }
    }
    EXPECT_GE(examples, 5);
}

// Names in Greek and CJK script reach the file system as they are, also
// through the upgrade; the record keeps the path it was given.
TEST(UnicodeNames, RunFilesNamedInAnyScriptConvert) {
    TempDir dir;
    const auto folder = dir.path() / "\xce\xa6\xce\xac\xce\xba\xce\xb5\xce\xbb\xce\xbf\xcf\x82 \xe8\xb3\x87\xe6\x96\x99";
    std::filesystem::create_directory(folder);
    const struct { const char* example; const char* name; } cases[] = {
        {"regression.kvr", "\xce\xa0\xce\xb5\xce\xaf\xcf\x81\xce\xb1\xce\xbc\xce\xb1 \xcf\x8d.kvr"},
        {"v1-regression.kvr", "\xe5\xae\x9f\xe9\xa8\x93.kvr"},
        {"v1-classification.kvr", "\xce\xa4\xce\xb1\xce\xbe\xce\xb9\xce\xbd\xcf\x8c\xce\xbc\xce\xb7\xcf\x83\xce\xb7 \xe5\x88\x86\xe9\xa1\x9e.kvr"},
    };
    for (const auto& c : cases) {
        const auto file = folder / c.name;
        std::filesystem::copy_file(test::ExamplesDir() / c.example, file);
        const Result record = Orvconvert("record --encoding UTF-8 " + Quoted(file));
        ASSERT_EQ(record.status, 0) << c.name << record.err;
        EXPECT_EQ(nlohmann::json::parse(record.out)["PathFile"], file.string());
        const auto upgraded = folder / (std::string("2-") + c.name);
        EXPECT_EQ(Orvconvert("upgrade " + Quoted(file) + " -o " + Quoted(upgraded)).status, 0) << c.name;
        EXPECT_EQ(Orvconvert("convert " + Quoted(upgraded)).status, 0) << c.name;
    }
}

}  // namespace
}  // namespace orv
