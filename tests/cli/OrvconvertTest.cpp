#include <nlohmann/json.hpp>

#include "cli/CliRun.h"
#include "common/Conversions.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

using test::TempDir;

// The rows of commands.txt: each command's status and what it prints.
TEST(Commands, EachRowGivesItsStatusAndTexts) {
    const auto rows = test::DataRows("cli/commands.txt");
    for (auto row : rows) {
        SCOPED_TRACE(row.where);
        TempDir dir;
        const std::filesystem::path runs = std::filesystem::path(ORV_SOURCE_DIR) / "tests" / "cli" / "runs";
        for (auto& field : row.fields)
            for (const auto& [name, path] : {std::pair{"{hand}", test::HandWrittenDir()}, std::pair{"{examples}", test::ExamplesDir()},
                                             std::pair{"{runs}", runs}, std::pair{"{tmp}", dir.path()}})
                field = ReplaceAll(field, name, path.string());
        const Result r = Orvconvert(row.fields.at(1));
        EXPECT_EQ(r.status, std::stoi(row.fields[0])) << r.err;
        for (std::size_t i = 2; i < row.fields.size(); ++i) {
            const std::string where = row.fields[i].substr(0, row.fields[i].find(':'));
            const std::string text = row.fields[i].substr(where.size() + 1);
            const std::string in = where == "out" ? r.out : where == "err" ? r.err : test::ReadAll(dir.path() / where);
            EXPECT_NE(in.find(text), std::string::npos) << where << " lacks " << text << ":\n" << in;
        }
    }
    EXPECT_GE(rows.size(), 20u);
}

// Comma-separated files as spreadsheets and Python's csv module read them:
// "." decimals in a "," locale, names quoted where they need it, UTF-8.
TEST(Export, DataFilesAreCsv) {
    TempDir dir;
    const test::ScopedLocale locale(test::kCommaLocale);
    const Result r = Orvconvert("export " + Quoted(std::filesystem::path(ORV_SOURCE_DIR) / "tests/cli/runs/hand.kvr") +
                                " --data " + Quoted(dir.path()));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string header = "\"d\xc3\xa9" "bit,l/s\",\"\"\"head\"\"\",eff\r\n";
    EXPECT_EQ(test::ReadAll(dir.path() / "train.csv"), header + "1.5,2,7.5\r\n0.5,3,12.5\r\n2,1,4\r\n");
    EXPECT_EQ(test::ReadAll(dir.path() / "test.csv"), header + "4,0.25,4.3125\r\n1,1,3\r\n");
}

// Names in Greek and CJK script reach the file system as they are, also
// through the upgrade; the record keeps the path it was given.
TEST(UnicodeNames, RunFilesNamedInAnyScriptConvert) {
    TempDir dir;
    const auto folder = dir.path() / "\xce\xa6\xce\xac\xce\xba\xce\xb5\xce\xbb\xce\xbf\xcf\x82 \xe8\xb3\x87\xe6\x96\x99";
    const auto file = folder / "\xce\xa4\xce\xb1\xce\xbe\xce\xb9\xce\xbd\xcf\x8c\xce\xbc\xce\xb7\xcf\x83\xce\xb7 \xe5\x88\x86\xe9\xa1\x9e.kvr";
    std::filesystem::create_directory(folder);
    std::filesystem::copy_file(test::ExamplesDir() / "v1-classification.kvr", file);
    const Result record = Orvconvert("record --encoding UTF-8 " + Quoted(file));
    ASSERT_EQ(record.status, 0) << record.err;
    EXPECT_EQ(nlohmann::json::parse(record.out)["PathFile"], file.string());
    const auto upgraded = folder / ("2-" + file.filename().string());
    EXPECT_EQ(Orvconvert("upgrade " + Quoted(file) + " -o " + Quoted(upgraded)).status, 0);
    EXPECT_EQ(Orvconvert("convert " + Quoted(upgraded)).status, 0);
}

}  // namespace
}  // namespace orv
