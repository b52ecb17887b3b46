// Helpers shared by the test programs: real locales switched through the
// environment, temporary folders, and matchers for the component's errors.
#pragma once

#include <gtest/gtest.h>

// The standard headers the test programs use, included once for all of them.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "common/ComError.h"

namespace orv {
namespace fs = std::filesystem;
}

namespace orv::test {

// Sets LC_ALL for the lifetime of the object and restores it afterwards.
// The component reads the environment afresh at each operation (a load, an
// upgrade, a data import), so this is how a user switches locale.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name);
    ~ScopedLocale();
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    std::optional<std::string> previous_;
};

inline constexpr const char* kCommaLocale = "de_DE.UTF-8";
inline constexpr const char* kPointLocale = "en_US.UTF-8";

// A fresh folder under the system temporary directory, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path Write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

inline std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Folder of the bundled examples.
std::filesystem::path ExamplesDir();

// Run files written by hand before the examples were generated. Tests that
// look at particular values, names or counts of a run read these, so that
// renewing the examples changes no test's meaning.
std::filesystem::path HandWrittenDir();

// Test files are written with "\n" for readability and stored with CR LF.
std::string Crlf(std::string_view text);

// A version-2.0 run file: header, the RUN block lines, then both data sets.
std::string V2File(std::string_view run, std::string_view train = "", std::string_view test = "",
                   std::string_view header = "<ORV>\n<VERSION>2.0</VERSION>\n<NAME>demo</NAME>\n<RUN>\n");

// The rows of a test table kept as text, tests/<file>: one row a line, fields
// split at "|" and trimmed; "#" starts a comment line. Escapes \s (space),
// \t, \r, \n, \0 and \\ give the bytes that trimming or the line would lose.
struct DataRow {
    std::string where;  // "file:line: text", for failure messages
    std::vector<std::string> fields;
    const std::string& operator[](std::size_t i) const { return fields.at(i); }
};
std::vector<DataRow> DataRows(const std::string& file);

// Expects the file to hold the text; ORV_UPDATE_GOLDEN=1 rewrites it instead.
void ExpectGolden(const std::filesystem::path& golden, const std::string& actual);

}  // namespace orv::test

// Expects stmt to raise a ComError with the given number (and description
// and source, when not null).
#define EXPECT_COM_ERROR_FROM(stmt, number, description, source)                     \
    do {                                                                             \
        try {                                                                        \
            stmt;                                                                    \
            ADD_FAILURE() << "expected error " << (number) << " from " #stmt;        \
        } catch (const ::orv::ComError& e_) {                                        \
            EXPECT_EQ(e_.Number(), (number)) << e_.Description();                    \
            const char* d_ = (description);                                          \
            if (d_) { EXPECT_EQ(e_.Description(), std::string(d_)); }                \
            const char* s_ = (source);                                               \
            if (s_) { EXPECT_EQ(e_.Source(), std::string(s_)); }                     \
        }                                                                            \
    } while (0)
#define EXPECT_COM_ERROR(stmt, number, description) EXPECT_COM_ERROR_FROM(stmt, number, description, nullptr)
