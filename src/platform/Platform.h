// The few operating-system services the core needs, behind one small surface
// so that no Windows header reaches the core.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orv::platform {

// The current user's decimal separator as the operating system reports it
// right now; the empty text when it cannot tell. Never throws.
std::string QueryUserDecimalSeparator() noexcept;

// The user's short-date form of today's date, as the system would show it.
std::string TodayShortDate();

// The separator the platform puts between a folder and a name: a slash or a
// backslash.
const char* PathSeparator() noexcept;

// Folder of the module (shared library or executable) that holds this code,
// found at run time, without a trailing separator; empty when it cannot be
// found.
std::filesystem::path ModuleFolder();

// The folder the version-1.0 upgrade prefers for its working files: the
// module's own folder, except where that folder belongs to a POSIX system's
// installed program tree (a packaged orvconvert in /usr/bin), which stays
// read-only even for root; empty then, so the user's own folder is taken.
std::filesystem::path ModuleWorkFolder();

#ifndef _WIN32
// True for an absolute folder under /usr, /bin, /sbin or /lib*.
bool InSystemProgramTree(const std::filesystem::path& folder);
#endif

// The current user's own folder under the system temporary directory,
// created when missing; empty when it cannot be had or when it is not a
// plain folder that only this user can write to.
std::filesystem::path UserTempFolder();

// True when standard error is an interactive terminal that takes the ANSI
// line-control codes a progress bar redraws with (a Windows console is
// switched to take them). Never throws.
bool StderrIsTerminal() noexcept;

// Makes a Windows console show the UTF-8 this program prints, until the
// program ends; other systems' terminals take UTF-8 already. Never throws.
void UseUtf8Console() noexcept;

// Widens standard output's pipe, when it is one, to the most the system
// allows an ordinary process: a stream of many megabytes then passes in
// fewer, larger turns between writer and reader. A hint; never throws.
void WidenOutputPipe() noexcept;

// The program's arguments, its name first: on Windows as UTF-8, read from the
// UTF-16 command line so that no name is bent to the ANSI code page; the
// bytes as they came elsewhere.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Asks for the given memory, not yet touched, to be backed by large pages
// where the system offers them on request: a buffer of many megabytes then
// costs a few page faults rather than thousands. A hint; never throws.
void PreferLargePages(void* data, std::size_t size) noexcept;

// Has the system back the given memory, not yet touched, with pages now
// rather than at each first touch, keeping what is already there: a thread
// otherwise idle takes the page faults of a buffer that another fills. A
// hint; never throws.
void PopulatePages(void* data, std::size_t size) noexcept;

// Gives the whole pages within the given memory back to the system, which
// lowers the peak of a large buffer read from front to back: their bytes
// are lost (read as zeros after). A hint; never throws.
void ReleasePages(void* data, std::size_t size) noexcept;

// The whole pages of the given size (a power of two) within the memory, as
// addresses [first, last); empty when none lies wholly inside.
inline std::pair<std::uintptr_t, std::uintptr_t> WholePages(const void* data, std::size_t size, std::uintptr_t page) {
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    return {(begin + page - 1) & ~(page - 1), (begin + size) & ~(page - 1)};
}

// An exclusive advisory lock on a file, held until the object is destroyed.
// Another process, or another Acquire in this process, waits for it.
class FileLock {
public:
    // Opens the file (creating it when missing) and waits for the lock;
    // nullptr when the file cannot be opened for writing or locked.
    static std::unique_ptr<FileLock> Acquire(const std::filesystem::path& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    explicit FileLock(std::intptr_t handle) noexcept : handle_(handle) {}
    std::intptr_t handle_;
};

}  // namespace orv::platform
