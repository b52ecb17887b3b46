#include "upgrade/UpgradeFolder.h"

#include <condition_variable>
#include <mutex>

#include "common/ComError.h"
#include "platform/Platform.h"

namespace orv::upgrade {
namespace {

constexpr const char* kLockName = "_kvr_temp_tmp_28214855245.lock";

// One upgrade at a time within this process. The file lock already keeps
// separate opens apart; this gate also covers platforms whose file locks
// belong to the whole process, and it may be released on another thread
// than the one that took it (a std::mutex may not).
class ProcessGate {
public:
    void Enter() {
        std::unique_lock<std::mutex> hold(mutex_);
        free_.wait(hold, [this] { return !busy_; });
        busy_ = true;
    }
    void Leave() noexcept {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            busy_ = false;
        }
        free_.notify_one();
    }

private:
    std::mutex mutex_;
    std::condition_variable free_;
    bool busy_ = false;
};

ProcessGate& Gate() {
    static ProcessGate gate;
    return gate;
}

// The names are ASCII, so they read the same in every code page.
std::filesystem::path Join(const std::filesystem::path& folder, std::string_view name) {
    return folder / std::filesystem::path(name);
}

// Opening the lock file doubles as the test that the folder can be written.
std::unique_ptr<platform::FileLock> LockIn(const std::filesystem::path& folder) {
    if (folder.empty()) return nullptr;
    return platform::FileLock::Acquire(Join(folder, kLockName));
}

}  // namespace

UpgradeFolder::UpgradeFolder(std::filesystem::path path, std::unique_ptr<platform::FileLock> lock) noexcept
    : path_(std::move(path)), lock_(std::move(lock)) {}

UpgradeFolder::~UpgradeFolder() {
    lock_.reset();
    Gate().Leave();
}

std::unique_ptr<UpgradeFolder> UpgradeFolder::Acquire() { return Acquire(platform::ModuleWorkFolder()); }

std::unique_ptr<UpgradeFolder> UpgradeFolder::Acquire(const std::filesystem::path& preferred) {
    Gate().Enter();
    try {
        std::filesystem::path folder = preferred;
        auto lock = LockIn(folder);
        if (!lock) {
            folder = platform::UserTempFolder();
            lock = LockIn(folder);
        }
        if (!lock) throw ComError(75, "clsFileParser::ConvertOldRun", "Path/File access error");
        return std::unique_ptr<UpgradeFolder>(new UpgradeFolder(std::move(folder), std::move(lock)));
    } catch (...) {
        Gate().Leave();
        throw;
    }
}

std::filesystem::path UpgradeFolder::File(std::string_view name) const { return Join(path_, name); }

}  // namespace orv::upgrade
