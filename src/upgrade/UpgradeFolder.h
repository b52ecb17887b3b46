// The folder where a version-1.0 upgrade writes its temporary files, held for
// one upgrade at a time: the names in it are fixed, so two upgrades running
// together (threads or processes) would otherwise overwrite each other.
#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

namespace orv::platform {
class FileLock;
}

namespace orv::upgrade {

class UpgradeFolder {
public:
    // The component's own folder, or the user's temporary folder when the
    // component's cannot be written; waits until no other upgrade holds it.
    // Raises 75 when neither folder can be used.
    static std::unique_ptr<UpgradeFolder> Acquire();
    // The same with a given first choice.
    static std::unique_ptr<UpgradeFolder> Acquire(const std::filesystem::path& preferred);

    ~UpgradeFolder();
    UpgradeFolder(const UpgradeFolder&) = delete;
    UpgradeFolder& operator=(const UpgradeFolder&) = delete;

    const std::filesystem::path& Path() const noexcept { return path_; }
    // The folder joined with a file name by the platform's separator.
    std::filesystem::path File(std::string_view name) const;

private:
    UpgradeFolder(std::filesystem::path path, std::unique_ptr<platform::FileLock> lock) noexcept;

    std::filesystem::path path_;
    std::unique_ptr<platform::FileLock> lock_;
};

}  // namespace orv::upgrade
