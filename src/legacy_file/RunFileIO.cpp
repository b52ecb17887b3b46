#include "legacy_file/RunFileIO.h"

#include <algorithm>
#include <memory>

#include <sys/stat.h>

#include "common/ComError.h"

namespace orv::runfile {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

ComError AccessError() { return {kPathFileAccessError, "", "Path/File access error"}; }

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

FileHandle Open(const std::string& path, const char* mode) {
    if (!FileExists(path)) throw ComError::FileNotFound();
    FileHandle f(std::fopen(path.c_str(), mode));
    if (!f) throw AccessError();
    return f;
}

}  // namespace

// The C library's calls take the path as the ANSI bytes it is, on every
// platform; std::filesystem would reinterpret it on Windows.
bool FileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

LineReader::LineReader(const std::string& path) : file_(Open(path, "rb").release()) {}

LineReader::~LineReader() { std::fclose(file_); }

bool LineReader::Fill() {
    if (pos_ < buffer_.size()) return true;
    buffer_.resize(kChunk);
    const std::size_t n = std::fread(buffer_.data(), 1, kChunk, file_);
    buffer_.resize(n);
    pos_ = 0;
    if (n == 0 && std::ferror(file_)) throw AccessError();
    return n > 0;
}

bool LineReader::AtEnd() { return !Fill(); }

std::string LineReader::ReadLine(std::size_t keep) {
    if (!Fill()) throw ComError::InputPastEndOfFile();
    std::string line;
    const auto append = [&](std::size_t count) {
        line.append(buffer_, pos_, std::min(count, keep - line.size()));
    };
    while (Fill()) {
        const std::size_t cr = buffer_.find('\r', pos_);
        if (cr == std::string::npos) {
            append(buffer_.size() - pos_);
            pos_ = buffer_.size();
            continue;
        }
        append(cr - pos_);
        pos_ = cr + 1;
        // CR LF is one line end, also when the LF starts the next chunk.
        if (Fill() && buffer_[pos_] == '\n') ++pos_;
        return line;
    }
    return line;
}

std::string ReadWholeFile(const std::string& path) {
    FileHandle f = Open(path, "rb");
    std::string bytes;
    char chunk[kChunk];
    struct stat info {};
    if (::fstat(fileno(f.get()), &info) == 0 && info.st_size > 0) bytes.reserve(static_cast<std::size_t>(info.st_size));
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
        bytes.append(chunk, n);
        if (n < sizeof chunk) break;
    }
    if (std::ferror(f.get())) throw ComError(kDeviceIOError, "", "Device I/O error");
    return bytes;
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    FileHandle f(std::fopen(path.c_str(), "wb"));
    if (!f) throw AccessError();
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    if (!written || std::fclose(f.release()) != 0) throw AccessError();
}

}  // namespace orv::runfile
