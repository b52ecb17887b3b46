// File access of the run-file readers and writer: existence tests, reading
// line by line (a line ends at CR LF or at a lone CR, never at a lone LF),
// reading a whole file, writing one and removing one. Bytes pass through
// undecoded; paths reach the system in its own form (UTF-16 on Windows).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "platform/FilePath.h"

namespace orv::runfile {

inline constexpr std::int32_t kPathFileAccessError = 75;  // cannot open or write
inline constexpr std::int32_t kDeviceIOError = 57;        // opened, but reading failed

// True for an existing regular file; folders and missing paths are not files.
bool FileExists(const FilePath& path);

// Removes the file if it is there; never raises.
void RemoveFile(const FilePath& path) noexcept;

// Reads a file line by line through a buffer, so that the header and the RUN
// block are read once however long the rest of the file is.
class LineReader {
public:
    // Raises 53 when the file is missing, 75 when it cannot be opened.
    explicit LineReader(const FilePath& path);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // True when no byte remains.
    bool AtEnd();
    // The next line without its end, of which at most `keep` bytes are kept
    // (the rest is skipped); raises 62 when no byte remains.
    std::string ReadLine(std::size_t keep = std::string::npos);

private:
    bool Fill();
    std::FILE* file_ = nullptr;
    std::string buffer_;
    std::size_t pos_ = 0;
};

// The whole file's bytes; raises 53 or 75 when it cannot be opened, 57 when
// reading fails, 7 when it does not fit in memory.
std::string ReadWholeFile(const FilePath& path);
// The same into bytes, whose room is used again when the file fits in it
// (memory already in use costs no page faults); bytes is undefined when
// reading fails.
void ReadWholeFile(const FilePath& path, std::string& bytes);
// The same less the file's first `skip(first)` bytes, which skip chooses on
// seeing the file's first piece (of whatever length one read gives) and
// answers: a part of a large file is then read where it is kept, not moved
// there afterwards.
std::size_t ReadWholeFile(const FilePath& path, std::string& bytes,
                          const std::function<std::size_t(std::string_view first)>& skip);

// Creates or overwrites the file with the given bytes; raises 75 when the
// file cannot be created or written.
void WriteWholeFile(const FilePath& path, const std::string& bytes);

// Writes a file piece by piece, so that a large file need not first be
// built as one text. Raises 75 when the file cannot be created or written,
// and then, as when it is let go before Close, removes it.
class FileWriter {
public:
    explicit FileWriter(const FilePath& path);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    void Write(std::string_view bytes);
    // Flushes and closes; the file is complete only once this has returned.
    void Close();

private:
    FilePath path_;
    std::FILE* file_ = nullptr;
};

}  // namespace orv::runfile
