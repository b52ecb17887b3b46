#include "legacy_file/RunFileIO.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include <sys/stat.h>

#include "common/ComError.h"
#include "platform/Platform.h"

namespace orv::runfile {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

ComError AccessError() { return {kPathFileAccessError, "", "Path/File access error"}; }

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Binary mode, reading or writing a whole file: the C library's call that
// takes the path in the system's own form.
std::FILE* OpenNative(const FilePath& path, bool write) {
#ifdef _WIN32
    return ::_wfopen(path.Native().c_str(), write ? L"wb" : L"rb");
#else
    return std::fopen(path.Native().c_str(), write ? "wb" : "rb");
#endif
}

FileHandle OpenForReading(const FilePath& path) {
    if (!FileExists(path)) throw ComError::FileNotFound();
    FileHandle f(OpenNative(path, false));
    if (!f) throw AccessError();
    return f;
}

// A NUL would cut the name short at the system call and name another file.
bool HoldsNul(const FilePath& path) {
    const auto& native = path.Native().native();
    return native.find(std::filesystem::path::value_type{}) != native.npos;
}

}  // namespace

bool FileExists(const FilePath& path) {
    std::error_code ec;
    return !path.empty() && !HoldsNul(path) && std::filesystem::is_regular_file(path.Native(), ec);
}

void RemoveFile(const FilePath& path) noexcept {
    std::error_code ec;
    if (FileExists(path)) std::filesystem::remove(path.Native(), ec);
}

LineReader::LineReader(const FilePath& path) : file_(OpenForReading(path).release()) {}

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

std::string ReadWholeFile(const FilePath& path) {
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

void ReadWholeFile(const FilePath& path, std::string& bytes) {
    ReadWholeFile(path, bytes, [](std::string_view) { return std::size_t{0}; });
}

std::size_t ReadWholeFile(const FilePath& path, std::string& bytes,
                          const std::function<std::size_t(std::string_view first)>& skip) {
    FileHandle f = OpenForReading(path);
    bytes.clear();
    char chunk[kChunk];
    std::size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
    const std::size_t skipped = std::min(n, skip(std::string_view(chunk, n)));
    struct stat info {};
    std::jthread populating;
    if (::fstat(fileno(f.get()), &info) == 0 && static_cast<std::uint64_t>(info.st_size) > skipped &&
        static_cast<std::uint64_t>(info.st_size) - skipped > bytes.capacity()) {
        std::string().swap(bytes);
        bytes.reserve(static_cast<std::size_t>(info.st_size) - skipped);
        platform::PreferLargePages(bytes.data(), bytes.capacity());
        // A large file's fresh pages are faulted in on the other core while
        // this one reads into them.
        constexpr std::size_t kPopulateFrom = 1 << 23;
        if (bytes.capacity() >= kPopulateFrom && std::thread::hardware_concurrency() > 1)
            populating = std::jthread([data = bytes.data(), size = bytes.capacity()] { platform::PopulatePages(data, size); });
    }
    bytes.append(chunk + skipped, n - skipped);
    while (n == sizeof chunk) {
        n = std::fread(chunk, 1, sizeof chunk, f.get());
        bytes.append(chunk, n);
    }
    if (std::ferror(f.get())) throw ComError(kDeviceIOError, "", "Device I/O error");
    return skipped;
}

void WriteWholeFile(const FilePath& path, const std::string& bytes) {
    FileWriter out(path);
    out.Write(bytes);
    out.Close();
}

FileWriter::FileWriter(const FilePath& path)
    : path_(path), file_(HoldsNul(path) ? nullptr : OpenNative(path, true)) {
    if (file_ == nullptr) throw AccessError();
}

// A file cut short (a full disk, a size limit, a failure before the last
// piece) must not pass for a whole one.
FileWriter::~FileWriter() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    RemoveFile(path_);
}

void FileWriter::Write(std::string_view bytes) {
    if (file_ != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size()) return;
    if (file_ != nullptr) std::fclose(std::exchange(file_, nullptr));
    RemoveFile(path_);
    throw AccessError();
}

void FileWriter::Close() {
    std::FILE* file = std::exchange(file_, nullptr);
    if (file != nullptr && std::fclose(file) == 0) return;
    RemoveFile(path_);
    throw AccessError();
}

}  // namespace orv::runfile
