// File-system faults through the COM server: the folder of the DLL, where a
// version-1.0 upgrade writes, and the user's temporary folder are spoiled one
// way at a time. Each fault gives a clear error, or the upgrade falls back to
// the user's folder, and no folder of the user's is taken away.
#include "TableHost.h"

namespace orvtest {
namespace {

TEST(FileSystemFaults, ClearErrorsAndNoFolderTakenAway) {
    const char* const kLock = "_kvr_temp_tmp_28214855245.lock";
    const struct {
        const char* name;
        const char* dllFolder;  // a folder made in the DLL's folder, which must still be there; null: none
        bool tempBlocked;       // a file stands where the user's folder for the upgrade goes
        HRESULT result;
    } faults[] = {
        {"the run file is a folder", nullptr, false, Raised(5004)},
        {"a folder stands where the training data file goes", "traintemp.tmp", false, Raised(75)},
        {"a folder stands where the upgraded run file goes", "_kvr_temp_tmp_28214855245.kvr", false, Raised(75)},
        {"neither the DLL's folder nor the user's temporary folder can be written", kLock, true, Raised(75)},
        {"the DLL's folder cannot be written: the user's folder serves", kLock, false, S_OK},
    };
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);  // the DLL is built next to this program
    const fs::path dll = fs::path(exe).parent_path(), temp = fs::temp_directory_path();
    const ComPtr<_IConvertible> adapter = NewAdapter();
    for (const auto& f : faults) {
        SCOPED_TRACE(f.name);
        // The upgrade's files of earlier conversions go; a private temporary folder stands in for the user's.
        for (const char* name : {"_kvr_temp_tmp_28214855245.kvr", kLock}) fs::remove(dll / name);
        const ScratchFolder scratch;
        SetEnvironmentVariableW(L"TMP", scratch.path.c_str());
        fs::path file = SourcePath("examples/v1-regression.kvr");
        if (f.dllFolder) fs::create_directory(dll / f.dllFolder);
        else fs::create_directory(file = scratch.path / "run.kvr");
        if (f.tempBlocked) std::ofstream(scratch.path / "ORVConverter");

        ResetLog();
        EXPECT_EQ(ConvertFresh(adapter.Get(), file), f.result);
        TakeError();

        SetEnvironmentVariableW(L"TMP", temp.c_str());
        if (f.dllFolder) {
            EXPECT_TRUE(fs::is_directory(dll / f.dllFolder)) << "the folder was taken away";
            fs::remove(dll / f.dllFolder);
        }
        EXPECT_FALSE(fs::exists(dll / "traintemp.tmp") || fs::exists(dll / "valtemp.tmp"));
    }
}

}  // namespace
}  // namespace orvtest
