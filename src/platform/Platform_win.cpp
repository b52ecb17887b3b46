#include "platform/Platform.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

namespace orv::platform {

std::string QueryUserDecimalSeparator() noexcept {
    try {
        char buffer[128] = {};
        const int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 128);
        if (n > 0) return std::string(buffer, static_cast<std::size_t>(n - 1));
        return {};
    } catch (...) {
        return {};  // the query never raises
    }
}

std::string TodayShortDate() {
    char buffer[128] = {};
    const int n = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer, 128);
    if (n > 0) return std::string(buffer, static_cast<std::size_t>(n - 1));
    return {};
}

const char* PathSeparator() noexcept { return "\\"; }

bool StderrIsTerminal() noexcept {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (err == INVALID_HANDLE_VALUE || !GetConsoleMode(err, &mode)) return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

namespace {
UINT g_consoleCodePage = 0;

bool IsConsole(DWORD stream) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(stream), &mode) != 0;
}
}  // namespace

void WidenOutputPipe() noexcept {}  // pipes are given their size when made

void UseUtf8Console() noexcept {
    if (!IsConsole(STD_OUTPUT_HANDLE) && !IsConsole(STD_ERROR_HANDLE)) return;
    g_consoleCodePage = GetConsoleOutputCP();
    if (g_consoleCodePage == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
    // The console outlives the program: give it back its code page.
    std::atexit([] { SetConsoleOutputCP(g_consoleCodePage); });
}

namespace {
// Any object of this module will do: its address tells which module (the
// DLL or the executable) holds the code.
const char kModuleAnchor = 0;
}  // namespace

// The wide calls throughout: a folder outside the ANSI code page must still
// be found and used.
std::filesystem::path ModuleWorkFolder() { return ModuleFolder(); }

std::filesystem::path ModuleFolder() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&kModuleAnchor), &module))
        return {};
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return std::filesystem::path(std::wstring(buf.data(), n)).parent_path();
        if (buf.size() >= 32768) return {};
        buf.resize(buf.size() * 2);
    }
}

std::filesystem::path UserTempFolder() {
    // The temporary directory is the user's own on Windows.
    wchar_t buf[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH) return {};
    const std::filesystem::path folder = std::filesystem::path(std::wstring(buf, n)) / L"ORVConverter";
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return {};
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return {};
    return folder;
}

std::unique_ptr<FileLock> FileLock::Acquire(const std::filesystem::path& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    // Locks belong to the handle, so a second handle in this process waits
    // as another process would.
    OVERLAPPED at{};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
        CloseHandle(file);
        return nullptr;
    }
    return std::unique_ptr<FileLock>(new FileLock(reinterpret_cast<std::intptr_t>(file)));
}

FileLock::~FileLock() {
    HANDLE file = reinterpret_cast<HANDLE>(handle_);
    OVERLAPPED at{};
    UnlockFileEx(file, 0, 1, 0, &at);
    CloseHandle(file);
}

// Windows gives large pages only to accounts holding a privilege, and only to
// memory allocated for them from the start.
void PreferLargePages(void*, std::size_t) noexcept {}

void PopulatePages(void*, std::size_t) noexcept {}

void ReleasePages(void* data, std::size_t size) noexcept {
    SYSTEM_INFO system;
    ::GetSystemInfo(&system);
    const auto [first, last] = WholePages(data, size, system.dwPageSize);
    if (last <= first) return;
    // The contents go, and unlocking pages that are not locked takes them
    // out of the working set (the call reports an error for that, meant).
    void* const pages = reinterpret_cast<void*>(first);
    ::VirtualAlloc(pages, last - first, MEM_RESET, PAGE_READWRITE);
    ::VirtualUnlock(pages, last - first);
}

}  // namespace orv::platform
