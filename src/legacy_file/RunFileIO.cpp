#include "legacy_file/RunFileIO.h"

#include <filesystem>
#include <memory>

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

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(std::filesystem::path(path), ec);
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

std::string LineReader::ReadLine() {
    if (!Fill()) throw ComError::InputPastEndOfFile();
    std::string line;
    while (Fill()) {
        const std::size_t cr = buffer_.find('\r', pos_);
        if (cr == std::string::npos) {
            line.append(buffer_, pos_, std::string::npos);
            pos_ = buffer_.size();
            continue;
        }
        line.append(buffer_, pos_, cr - pos_);
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
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec) bytes.reserve(static_cast<std::size_t>(size));
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
