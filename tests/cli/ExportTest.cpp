// orvconvert export, read back as a user's tools would: the CSV files by
// Python's csv module, the Python model run on them, and info's recomputed
// R-square against the one Python computes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>

#include "cli/CliRun.h"
#include "common/Conversions.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

using Rows = std::vector<std::vector<double>>;

// A model of two genes, (d0+d1) + (d1*d1), and data it fits exactly; field
// names that need quoting, one outside ASCII (Windows-1252 in the file).
const std::string kRun = "<FUNCSET>+*</FUNCSET>\n<GENES>2</GENES>\n<HEAD>2</HEAD>\n<LFUNCTION>+</LFUNCTION>\n"
                         "<TERMINALS>2</TERMINALS>\n<SEPCHAR>1</SEPCHAR>\n<KEY>hand</KEY>\n"
                         "<FIELDNAMES>d\xe9" "bit,l/s;\"head\";eff</FIELDNAMES>\n<KARVA>+d0d1d0d1 + *d1d1d0d0</KARVA>\n";
const Rows kTrain = {{1.5, 2, 7.5}, {0.5, 3, 12.5}, {2, 1, 4}};
const Rows kTest = {{4, 0.25, 4.3125}, {1, 1, 3}};

// The CSV file as Python's csv module reads it; with a model program, also
// its outputs on the rows and their squared correlation with the last column.
nlohmann::json ReadBack(const std::filesystem::path& csv, const std::filesystem::path& model = {}) {
    test::TempDir dir;
    const auto script = dir.Write("read.py", R"(import csv, json, statistics, sys
with open(sys.argv[1], newline='', encoding='utf-8') as f:
    rows = list(csv.reader(f, strict=True))
out = {'header': rows[0], 'rows': [[float(v) for v in r] for r in rows[1:]]}
if len(sys.argv) > 2:
    ns = {}
    exec(open(sys.argv[2], encoding='utf-8').read(), ns)
    out['outputs'] = [ns['model'](r[:-1]) for r in out['rows']]
    out['r2'] = statistics.correlation([r[-1] for r in out['rows']], out['outputs']) ** 2
print(json.dumps(out))
)");
    const auto out = dir.path() / "out.json";
    const std::string command = "/usr/bin/python3 " + Quoted(script) + " " + Quoted(csv) +
                                (model.empty() ? "" : " " + Quoted(model)) + " > " + Quoted(out);
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return nlohmann::json::parse(test::ReadAll(out));
}

// Field names that need quoting and one outside ASCII, and "." decimals in a "," locale.
TEST(Export, DataReadBackAsTheRunHoldsIt) {
    test::TempDir dir;
    const auto hand = dir.Write("hand.kvr", test::V2File(kRun, "1.5;2;7.5\n0.5;3;12.5\n2;1;4\n", "4;0.25;4.3125\n1;1;3\n"));
    const test::ScopedLocale locale(test::kCommaLocale);
    const Result r = Orvconvert("export " + Quoted(hand) + " --data " + Quoted(dir.path()));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto train = ReadBack(dir.path() / "train.csv");
    EXPECT_EQ(train["header"], std::vector<std::string>({"d\xc3\xa9" "bit,l/s", "\"head\"", "eff"}));
    EXPECT_EQ(train["rows"], kTrain);
    EXPECT_EQ(ReadBack(dir.path() / "test.csv")["rows"], kTest);
}

// The exported Python model on the exported data: the hand-worked values,
// and the R-square info recomputes.
TEST(Export, ModelRunsOnTheExportedDataAsInfoComputesIt) {
    test::TempDir dir;
    const auto hand = dir.Write("hand.kvr", test::V2File(kRun, "1.5;2;7.5\n0.5;3;12.5\n2;1;4\n"));
    const auto regression = test::HandWrittenDir() / "regression.kvr";
    const struct { std::filesystem::path file; std::vector<double> outputs; } cases[] = {
        {hand, {7.5, 12.5, 4}},
        {regression, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto out = dir.path() / c.file.stem();
        ASSERT_EQ(Orvconvert("export " + Quoted(c.file) + " --data " + Quoted(out)).status, 0);
        const Result code = Orvconvert("export " + Quoted(c.file) + " --model python");
        ASSERT_EQ(code.status, 0) << code.err;
        const auto python = ReadBack(out / "train.csv", dir.Write("model.py", code.out));
        if (!c.outputs.empty()) {
            EXPECT_EQ(python["outputs"], c.outputs);
        }

        const Result info = Orvconvert("info " + Quoted(c.file));
        const auto at = info.out.find(", recomputed ");
        ASSERT_NE(at, std::string::npos) << info.out;
        EXPECT_NEAR(std::stod(info.out.substr(at + 13)), python["r2"].get<double>(), 1e-13) << info.out;
    }
    EXPECT_EQ(Orvconvert("export " + Quoted(regression) + " --model spreadsheet").out,
              "=((((A2+B2)*(SQRT(A2)-C2))+(B2/(C2*A2)))+EXP(C2))\n");
}

TEST(Export, RefusesWhatItCannotWrite) {
    test::TempDir dir;
    const auto noModel = dir.Write("none.kvr", test::V2File("<FUNCSET>+</FUNCSET>\n<SEPCHAR>1</SEPCHAR>\n", "1;2\n"));
    const auto badTest = dir.Write("bad.kvr", test::V2File(kRun, "1;2;3\n", "1;x;3\n"));
    const struct { std::string args; int status; std::string err; } cases[] = {
        {"export " + Quoted(badTest) + " --data " + Quoted(dir.path()), 0, "the test data cannot be read; no test.csv"},
        {"export " + Quoted(noModel) + " --model c", 1, "error 5: The run has no model"},
        {"export " + Quoted(noModel), 2, "--data or --model is required"},
    };
    for (const auto& c : cases) {
        const Result r = Orvconvert(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "train.csv"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "test.csv"));
}

}  // namespace
}  // namespace orv
