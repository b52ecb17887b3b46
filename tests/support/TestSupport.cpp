#include "support/TestSupport.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

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

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::filesystem::path ExamplesDir() {
    if (const char* dir = std::getenv("ORV_EXAMPLES")) return dir;
    return std::filesystem::path(ORV_SOURCE_DIR) / "examples";
}

std::filesystem::path HandWrittenDir() {
    return std::filesystem::path(ORV_SOURCE_DIR) / "tests" / "data" / "hand-written";
}

std::string Crlf(std::string_view text) { return ReplaceAll(text, "\n", "\r\n"); }

std::string V2File(std::string_view run, std::string_view train, std::string_view test, std::string_view header) {
    return Crlf(std::string(header) + "<ATTR>\n" + std::string(run) + "</RUN>\n<VALUES>\n\n<TRAIN>\n" +
                std::string(train) + "</TRAIN>\n<TEST>\n" + std::string(test) + "</TEST>\n</VALUES>\n</ORV>\n");
}

}  // namespace orv::test
