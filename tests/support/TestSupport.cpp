#include "support/TestSupport.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

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
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "examples";
}

}  // namespace orv::test
