
#include <nlohmann/json.hpp>

#include <regex>

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
