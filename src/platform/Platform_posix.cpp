#include "platform/Platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <langinfo.h>
#include <link.h>
#include <locale.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <utility>
#include <vector>

namespace orv::platform {

namespace {
// A locale built from the environment as it is now (LC_ALL, LC_NUMERIC, LANG),
// so that a change of the user's settings is seen at the next call.
struct UserLocale {
    locale_t handle;
    explicit UserLocale(int mask) : handle(newlocale(mask, "", static_cast<locale_t>(0))) {}
    ~UserLocale() {
        if (handle != static_cast<locale_t>(0)) freelocale(handle);
    }
    UserLocale(const UserLocale&) = delete;
    UserLocale& operator=(const UserLocale&) = delete;
};
}  // namespace

std::string QueryUserDecimalSeparator() noexcept {
    try {
        // The environment is read at every call, so a change of the user's
        // locale is seen at the next number. Building the locale itself can
        // cost a hundred microseconds (C.UTF-8 is loaded from files), so its
        // answer is kept per thread for as long as the environment names the
        // same locale.
        std::string settings;
        for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
            const char* value = std::getenv(name);
            settings += value ? "=" : "-";
            if (value) settings += value;
            settings += '\0';
        }
        thread_local std::string lastSettings;
        thread_local std::string lastSeparator;
        thread_local bool known = false;
        if (known && settings == lastSettings) return lastSeparator;

        UserLocale loc(LC_NUMERIC_MASK);
        if (loc.handle == static_cast<locale_t>(0)) return {};
        const char* radix = nl_langinfo_l(RADIXCHAR, loc.handle);
        lastSeparator = radix ? std::string(radix) : std::string();
        lastSettings = std::move(settings);
        known = true;
        return lastSeparator;
    } catch (...) {
        return {};
    }
}

std::string TodayShortDate() {
    UserLocale loc(LC_TIME_MASK);
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[128] = {};
    if (loc.handle == static_cast<locale_t>(0)) {
        std::strftime(buf, sizeof buf, "%x", &tm);
    } else {
        strftime_l(buf, sizeof buf, "%x", &tm, loc.handle);
    }
    return buf;
}

const char* PathSeparator() noexcept { return "/"; }

bool StderrIsTerminal() noexcept { return ::isatty(STDERR_FILENO) == 1; }

void UseUtf8Console() noexcept {}

void WidenOutputPipe() noexcept {
#ifdef F_SETPIPE_SZ
    (void)::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);  // fails harmlessly for anything but a pipe
#endif
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

namespace {
// Any object of this library will do: its address tells which module holds
// the code, whether that is a shared library or the executable itself.
const char kModuleAnchor = 0;

std::string FolderOf(const std::string& file) {
    const auto slash = file.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : file.substr(0, slash);
}

std::string ExecutablePath() {
    std::vector<char> buf(256);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<std::size_t>(n));
        if (buf.size() >= 65536) return {};
        buf.resize(buf.size() * 2);
    }
}
}  // namespace

std::filesystem::path ModuleFolder() {
    // The executable's own entry has an empty name in the link map; a shared
    // library's entry carries the path it was loaded from.
    Dl_info info{};
    link_map* map = nullptr;
    if (::dladdr1(&kModuleAnchor, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0 && map != nullptr &&
        map->l_name != nullptr && map->l_name[0] != '\0') {
        char* real = ::realpath(map->l_name, nullptr);
        if (real != nullptr) {
            std::string path(real);
            std::free(real);
            return FolderOf(path);
        }
    }
    return FolderOf(ExecutablePath());
}

bool InSystemProgramTree(const std::filesystem::path& folder) {
    if (!folder.is_absolute()) return false;
    const auto top = std::next(folder.begin());
    if (top == folder.end()) return false;
    const std::string name = top->native();
    return name == "usr" || name == "bin" || name == "sbin" || name.rfind("lib", 0) == 0;
}

namespace {
// The advice for the whole pages of the given size within the memory.
void Advise(void* data, std::size_t size, std::uintptr_t page, int advice) noexcept {
    const auto [first, last] = WholePages(data, size, page);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, advice);
}

std::uintptr_t SmallPage() noexcept { return static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE)); }
}  // namespace

void PreferLargePages(void* data, std::size_t size) noexcept {
#ifdef MADV_HUGEPAGE
    // Only whole large pages inside the buffer; smaller buffers gain nothing.
    Advise(data, size, std::uintptr_t{1} << 21, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

void PopulatePages(void* data, std::size_t size) noexcept {
#ifdef MADV_POPULATE_WRITE
    Advise(data, size, SmallPage(), MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)size;
#endif
}

void ReleasePages(void* data, std::size_t size) noexcept { Advise(data, size, SmallPage(), MADV_DONTNEED); }

std::filesystem::path ModuleWorkFolder() {
    auto folder = ModuleFolder();
    return InSystemProgramTree(folder) ? std::filesystem::path() : folder;
}

std::filesystem::path UserTempFolder() {
    std::error_code ec;
    const auto base = std::filesystem::temp_directory_path(ec);
    if (ec) return {};
    const std::string folder = (base / ("orvconverter-" + std::to_string(::geteuid()))).native();
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    // A folder that someone else made, or that others can write to, could
    // have its files swapped underneath us: refuse it.
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return {};
    return folder;
}

std::unique_ptr<FileLock> FileLock::Acquire(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return nullptr;
    // flock belongs to the open file, so a second open in this process waits
    // as another process would.
    int rc = 0;
    do {
        rc = ::flock(fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileLock>(new FileLock(fd));
}

FileLock::~FileLock() {
    const int fd = static_cast<int>(handle_);
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

}  // namespace orv::platform
