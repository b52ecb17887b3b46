// File-system faults through the COM server: the folder of the DLL, where a
// version-1.0 upgrade writes, and the user's temporary folder are spoiled one
// way at a time. Each fault gives a clear error, or the upgrade falls back to
// the user's folder, and no folder of the user's is taken away.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "Server.h"

namespace orvtest {
namespace {

namespace fs = std::filesystem;

struct Fault {
    const char* name;
    // Spoils the DLL's folder or the user's temporary one; answers the run file.
    std::function<fs::path(const fs::path& dll, const fs::path& temp)> setUp;
    HRESULT result;
    const char* leftInDllFolder;  // a folder the fault made that must still be there; null: none
};

TEST(FileSystemFaults, ClearErrorsAndNoFolderTakenAway) {
    char exe[MAX_PATH] = {}, temp[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);  // the DLL is built next to this program
    GetTempPathA(MAX_PATH, temp);
    const fs::path dll = fs::path(exe).parent_path();
    const fs::path v1 = SourcePath("examples/v1-regression.kvr");
    const std::vector<Fault> faults = {
        {"the run file is a folder",
         [](const fs::path&, const fs::path& t) { return fs::create_directory(t / "run.kvr"), t / "run.kvr"; },
         Raised(5004), nullptr},
        {"a folder stands where the training data file goes",
         [&](const fs::path& d, const fs::path&) { return fs::create_directory(d / "traintemp.tmp"), v1; }, Raised(75),
         "traintemp.tmp"},
        {"a folder stands where the upgraded run file goes",
         [&](const fs::path& d, const fs::path&) {
             return fs::create_directory(d / "_kvr_temp_tmp_28214855245.kvr"), v1;
         },
         Raised(75), "_kvr_temp_tmp_28214855245.kvr"},
        {"neither the DLL's folder nor the user's temporary folder can be written",
         [&](const fs::path& d, const fs::path& t) {
             std::ofstream(t / "ORVConverter");
             return fs::create_directory(d / "_kvr_temp_tmp_28214855245.lock"), v1;
         },
         Raised(75), "_kvr_temp_tmp_28214855245.lock"},
        {"the DLL's folder cannot be written: the user's folder serves",
         [&](const fs::path& d, const fs::path&) {
             return fs::create_directory(d / "_kvr_temp_tmp_28214855245.lock"), v1;
         },
         S_OK, "_kvr_temp_tmp_28214855245.lock"},
    };
    const ComPtr<_IConvertible> adapter = NewAdapter();
    for (const auto& f : faults) {
        SCOPED_TRACE(f.name);
        // The upgrade's files of earlier conversions go; a private temporary folder stands in for the user's.
        for (const char* name : {"_kvr_temp_tmp_28214855245.kvr", "_kvr_temp_tmp_28214855245.lock"}) fs::remove(dll / name);
        const fs::path scratch = fs::path(temp) / ("orv-faults-" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(scratch);
        SetEnvironmentVariableA("TMP", scratch.string().c_str());
        const fs::path file = f.setUp(dll, scratch);

        ResetLog();
        EXPECT_EQ(ConvertFresh(adapter.Get(), file), f.result);
        ErrorText();

        SetEnvironmentVariableA("TMP", temp);
        if (f.leftInDllFolder) {
            EXPECT_TRUE(fs::is_directory(dll / f.leftInDllFolder)) << "the folder was taken away";
            fs::remove(dll / f.leftInDllFolder);
        }
        EXPECT_FALSE(fs::exists(dll / "traintemp.tmp") || fs::exists(dll / "valtemp.tmp"));
        fs::remove_all(scratch);
    }
}

}  // namespace
}  // namespace orvtest
