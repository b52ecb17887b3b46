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
const std::filesystem::path kHand = std::filesystem::path(ORV_SOURCE_DIR) / "tests" / "cli" / "runs" / "hand.kvr";
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
    const test::ScopedLocale locale(test::kCommaLocale);
    const Result r = Orvconvert("export " + Quoted(kHand) + " --data " + Quoted(dir.path()));
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
    const auto regression = test::HandWrittenDir() / "regression.kvr";
    const struct { std::filesystem::path file; std::vector<double> outputs; } cases[] = {
        {kHand, {7.5, 12.5, 4}},
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
}

}  // namespace
}  // namespace orv
