#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/Platform.h"
#include "support/TestSupport.h"
#include "upgrade/UpgradeFolder.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace orv::upgrade {
namespace {

namespace fs = std::filesystem;

TEST(UpgradeFolder, UsesTheFirstChoiceOrFallsBackToTheUsersOwnFolder) {
    test::TempDir dir;
    EXPECT_EQ(UpgradeFolder::Acquire(dir.path().string())->File("a.tmp"), (dir.path() / "a.tmp").string());
    const auto fallback = UpgradeFolder::Acquire((dir.path() / "missing").string());
    EXPECT_EQ(fallback->Path(), platform::UserTempFolder());
#ifndef _WIN32
    EXPECT_EQ(fs::status(fallback->Path()).permissions() & (fs::perms::group_write | fs::perms::others_write),
              fs::perms::none);
#endif
}

#ifndef _WIN32
TEST(UpgradeFolder, ModuleFolderIsTheFolderOfThisProgram) {
    EXPECT_EQ(fs::path(platform::ModuleFolder()), fs::canonical("/proc/self/exe").parent_path());
}

// An installed tool must not write its working files among the system's programs.
TEST(UpgradeFolder, SystemProgramTreeIsNeverTheWorkFolder) {
    for (const auto& row : test::DataRows("upgrade/data/system-folders.txt"))
        EXPECT_EQ(platform::InSystemProgramTree(row[0]) ? "true" : "false", row[1]) << row.where;
}

// Another process waits for the folder until this one lets it go.
TEST(UpgradeFolder, LockKeepsOtherProcessesOut) {
    test::TempDir dir;
    const auto marker = dir.path() / "child-got-it";
    auto folder = UpgradeFolder::Acquire(dir.path().string());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only the file lock: the child's copy of the in-process gate is taken.
        auto lock = platform::FileLock::Acquire(folder->File("_kvr_temp_tmp_28214855245.lock"));
        std::ofstream(marker) << "x";
        ::_exit(lock ? 0 : 1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(fs::exists(marker));
    folder.reset();
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && fs::exists(marker));
}
#endif

}  // namespace
}  // namespace orv::upgrade
