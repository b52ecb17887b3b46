// orvconvert export's data files, read back by Python's csv module as a
// user's tools would read them.

#include <nlohmann/json.hpp>

#include "cli/CliRun.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

using Rows = std::vector<std::vector<double>>;

// Field names that need quoting, one outside ASCII (Windows-1252 in the file).
const std::filesystem::path kHand = std::filesystem::path(ORV_SOURCE_DIR) / "tests" / "cli" / "runs" / "hand.kvr";
const Rows kTrain = {{1.5, 2, 7.5}, {0.5, 3, 12.5}, {2, 1, 4}};
const Rows kTest = {{4, 0.25, 4.3125}, {1, 1, 3}};

// The CSV file as Python's csv module reads it.
nlohmann::json ReadBack(const std::filesystem::path& csv) {
    test::TempDir dir;
    const auto script = dir.Write("read.py", R"(import csv, json, sys
with open(sys.argv[1], newline='', encoding='utf-8') as f:
    rows = list(csv.reader(f, strict=True))
out = {'header': rows[0], 'rows': [[float(v) for v in r] for r in rows[1:]]}
print(json.dumps(out))
)");
    const auto out = dir.path() / "out.json";
    const std::string command = "/usr/bin/python3 " + Quoted(script) + " " + Quoted(csv) + " > " + Quoted(out);
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return nlohmann::json::parse(test::ReadAll(out));
}

// "." decimals in a "," locale.
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

}  // namespace
}  // namespace orv
