// A file's path in the operating system's own form: UTF-16 on Windows, the
// bytes as they are elsewhere. Files are opened through this form only, so a
// name in any script reaches the file system intact.
//
// The run record keeps paths as text in the ANSI code page, as the file format
// wants; a path made from such a text is read in that code page, and Text()
// gives a path back in it.
#pragma once

#include <filesystem>
#include <string>
#include <utility>

namespace orv {

class FilePath {
public:
    FilePath() = default;
    // Implicit: every caller that holds a path as text keeps working.
    FilePath(const std::string& ansiText);
    FilePath(const char* ansiText) : FilePath(std::string(ansiText)) {}
    FilePath(std::filesystem::path native) noexcept : native_(std::move(native)) {}

    const std::filesystem::path& Native() const noexcept { return native_; }
    // The path as ANSI text; a character the code page lacks becomes "?".
    std::string Text() const;
    bool empty() const noexcept { return native_.empty(); }

    friend bool operator==(const FilePath& a, const FilePath& b) { return a.native_ == b.native_; }

private:
    std::filesystem::path native_;
};

}  // namespace orv
