#include "support/TestSupport.h"

#include <atomic>

#include <unistd.h>

#include "common/Conversions.h"

namespace orv::test {

ScopedLocale::ScopedLocale(const char* name) {
    if (const char* old = std::getenv("LC_ALL")) previous_ = old;
    ::setenv("LC_ALL", name, 1);
}

ScopedLocale::~ScopedLocale() {
    if (previous_) ::setenv("LC_ALL", previous_->c_str(), 1);
    else ::unsetenv("LC_ALL");
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("orv-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::Write(const std::string& name, const std::string& bytes) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out << bytes;
    return file;
}

std::filesystem::path ExamplesDir() {
    if (const char* dir = std::getenv("ORV_EXAMPLES")) return dir;
    return std::filesystem::path(ORV_SOURCE_DIR) / "examples";
}

std::filesystem::path HandWrittenDir() {
    return std::filesystem::path(ORV_SOURCE_DIR) / "tests" / "data" / "hand-written";
}

void ExpectGolden(const std::filesystem::path& golden, const std::string& actual) {
    if (std::getenv("ORV_UPDATE_GOLDEN")) std::ofstream(golden, std::ios::binary) << actual;
    EXPECT_TRUE(ReadAll(golden) == actual) << "differs from " << golden << ":\n" << actual;
}

std::string Crlf(std::string_view text) { return ReplaceAll(text, "\n", "\r\n"); }

std::string V2File(std::string_view run, std::string_view train, std::string_view test, std::string_view header) {
    return Crlf(std::string(header) + "<ATTR>\n" + std::string(run) + "</RUN>\n<VALUES>\n\n<TRAIN>\n" +
                std::string(train) + "</TRAIN>\n<TEST>\n" + std::string(test) + "</TEST>\n</VALUES>\n</ORV>\n");
}

std::vector<DataRow> DataRows(const std::string& file) {
    std::ifstream in(std::filesystem::path(ORV_SOURCE_DIR) / "tests" / file);
    EXPECT_TRUE(in) << "no table " << file;
    std::vector<DataRow> rows;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string_view trimmed = TrimSpaces(line);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        DataRow row{file + ":" + std::to_string(number) + ": " + line, {}};
        for (std::size_t from = 0; from <= line.size();) {
            const std::size_t bar = std::min(line.find('|', from), line.size());
            const std::string_view raw = TrimSpaces(std::string_view(line).substr(from, bar - from));
            std::string& field = row.fields.emplace_back();
            for (std::size_t i = 0; i < raw.size(); ++i) {
                const char c = raw[i] == '\\' && i + 1 < raw.size() ? raw[++i] : '\\';
                field += c == '\\' ? raw[i] : c == 's' ? ' ' : c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c == '0' ? '\0' : c;
            }
            from = bar + 1;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace orv::test
