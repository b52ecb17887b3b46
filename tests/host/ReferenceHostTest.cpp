// The reference host: data files, settings selection, model numbering and
// its catalogue.

#include <set>

#include "adapter/V2Adapter.h"
#include "adapter/V3Helpers.h"
#include "common/Conversions.h"
#include "host/HostJson.h"
#include "host/ReferenceHost.h"
#include "support/TestSupport.h"

namespace orv::refhost {
namespace {

TEST(DataSet, ReadsRecordsWithEachSeparator) {
    struct Case { std::int32_t separator; std::string text; bool names; std::vector<std::string> fieldNames; };
    const std::vector<Case> cases = {
        {0, "1  2.5 3\r\n\r\n4 5 6\r\n", false, {}},
        {1, "x\ty\tz\r\n1\t2.5\t3\n4\t5\t6", true, {"x", "y", "z"}},
        {2, "1,2.5,3\r4,5,6", false, {}},
        {3, "a;b;c\r\n1;2.5;3\r\n4;5;6\r\n", true, {"a", "b", "c"}},
    };
    test::TempDir dir;
    test::ScopedLocale locale(test::kPointLocale);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.separator);
        DataSet data;
        data.LoadFromFile(dir.Write("d.txt", c.text).string(), c.separator, c.names, 1);
        EXPECT_EQ(data.FieldNames(), c.fieldNames);
        ASSERT_EQ(data.RecordCount(), 2u);
        EXPECT_EQ(data.Record(0), (std::vector<double>{1, 2.5, 3}));
        EXPECT_EQ(data.Record(1), (std::vector<double>{4, 5, 6}));
    }
    EXPECT_COM_ERROR(DataSet().SeparatorText(4), 5, nullptr);
}

TEST(DataSet, ReadsNumbersInTheUsersLocale) {
    test::TempDir dir;
    const auto file = dir.Write("d.txt", "1,5 2\r\n").string();
    DataSet data;
    {
        test::ScopedLocale locale(test::kCommaLocale);
        data.LoadFromFile(file, 0, false, 1);
        EXPECT_EQ(data.Record(0), (std::vector<double>{1.5, 2}));
    }
    test::ScopedLocale locale(test::kPointLocale);
    EXPECT_COM_ERROR(data.LoadFromFile(file, 0, false, 1), 13, "Line 1, field 1: '1,5' is not a number");
    EXPECT_EQ(data.RecordCount(), 1u) << "a failed load keeps the previous content";
    EXPECT_COM_ERROR(data.LoadFromFile((dir.path() / "missing").string(), 0, false, 1), 53, nullptr);
    EXPECT_TRUE(std::filesystem::exists(file)) << "the data set deletes nothing";
}

// The file is read four megabytes at a time, from the disk or from a host's
// memory: a line end split between two pieces, a CR last in a piece and a
// line longer than a piece read as in one text, with the same line numbers.
TEST(DataSet, ReadsLinesAcrossTheReadingPieces) {
    constexpr std::size_t kPiece = 1 << 22;
    test::TempDir dir;
    test::ScopedLocale locale(test::kPointLocale);
    for (const bool inMemory : {false, true}) {
        const auto files = inMemory ? std::make_shared<TempFolder>(TempFolder::InMemory{}) : nullptr;
        const auto load = [&](DataSet& data, const std::string& text) {
            data.LoadFromFile(inMemory ? files->Keep(text) : dir.Write("d.txt", text).string(), 3, false, 1);
        };
        for (const std::size_t crAt : {kPiece - 1, kPiece - 2, kPiece, 3 * kPiece + 5}) {
            SCOPED_TRACE(testing::Message() << crAt << (inMemory ? " in memory" : " on disk"));
            const std::string first = "1;" + std::string(crAt - 3, '0') + "2";
            for (const char* end : {"\r\n", "\r"}) {
                DataSet data(files);
                load(data, first + end + "3;4" + end);
                ASSERT_EQ(data.RecordCount(), 2u);
                EXPECT_EQ(data.Record(0), (std::vector<double>{1, 2}));
                EXPECT_EQ(data.Record(1), (std::vector<double>{3, 4}));
            }
            DataSet data(files);
            EXPECT_COM_ERROR(load(data, first + "\r\n\r\n5;x"), 13, "Line 3, field 2: 'x' is not a number");
        }
    }
}

// Fields of the common shape are read in one pass over the line, the rest
// field by field: both give what the number conversion gives, value or error.
TEST(DataSet, EveryShapeOfFieldReadsAsTheNumberConversionReadsIt) {
    test::TempDir dir;
    test::ScopedLocale locale(test::kPointLocale);
    for (const char* field : {"1", "-0", "1.", ".5", "-.5", " 1", "1 ", "+1", "1e3", "007", "1,5", "", "-",
                              "12345678901234567890", "9007199254740993", "0.1234567890123456789012", "2.5",
                              "12345678.87654321", "-123456789012.5", "1234567.1234567", "99999999.99999999999"}) {
        SCOPED_TRACE(field);
        DataSet data;
        const auto file = dir.Write("d.txt", std::string("3;") + field + "\r\n").string();
        double expected = 0;
        try {
            expected = TextToDouble(field, ".");
        } catch (const ComError& e) {
            EXPECT_COM_ERROR(data.LoadFromFile(file, 3, false, 1), e.Number(), nullptr);
            continue;
        }
        data.LoadFromFile(file, 3, false, 1);
        ASSERT_EQ(data.RecordCount(), 1u);
        EXPECT_EQ(data.Record(0), (std::vector<double>{3, expected}));
    }
}

TEST(ModelList, NumbersModelsFromOne) {
    ModelList list;
    auto first = std::make_shared<Model>(), second = std::make_shared<Model>();
    list.AddModel(first, "");
    list.AddModel(second, "");
    EXPECT_EQ(second->GetNumber(), 2);
    EXPECT_COM_ERROR(list.AddModel(first, ""), 5, nullptr);
    EXPECT_COM_ERROR(list.SelectModel(3), 9, nullptr);
}

TEST(Catalogue, CoversTheLegacySymbols) {
    ReferenceHost host;
    std::vector<host::FunctionEntry> entries;
    std::vector<std::string> symbols;
    V3Helpers::LoadFunctionCatalogue(host, entries, symbols);
    ASSERT_EQ(entries.size(), symbols.size());
    for (const std::string s : {"+", "-", "*", "/", "^", "G", "Q", "E", "L", "S", "C", "T", "<", ">"})
        EXPECT_NE(std::find(symbols.begin(), symbols.end(), s), symbols.end()) << s;
    std::set<std::int32_t> codes;
    for (const auto& e : entries) {
        codes.insert(e.code);
        EXPECT_EQ(e.content1.find("x0") != std::string::npos, true) << e.key;
    }
    EXPECT_EQ(codes.size(), entries.size()) << "codes are unique";
}

TEST(HostJson, StreamedRunIsTheDocumentWithOneRecordALine) {
    test::ScopedLocale locale(test::kPointLocale);
    ReferenceHost host;
    auto run = host.CreateRun();
    V2Adapter(host).Convert((test::HandWrittenDir() / "regression.kvr").string(), run);
    const ToUtf8 toUtf8("windows-1252");
    std::ostringstream out;
    WriteRunJson(out, *run, toUtf8);
    EXPECT_EQ(Json::parse(out.str()), RunJson(*run, toUtf8));
    EXPECT_NE(out.str().find("\n        [ 14.0, 17.6, 1.45, 0.655 ],\n"), std::string::npos) << out.str();
}

TEST(HostJson, TextsBecomeUtf8) {
    const ToUtf8 toUtf8("windows-1252");
    // 0x81 is undefined in the code page; the bytes after it still convert.
    EXPECT_EQ(toUtf8("caf\xe9 \x80\x81!"), "caf\xc3\xa9 \xe2\x82\xac\xef\xbf\xbd!");
}

}  // namespace
}  // namespace orv::refhost
