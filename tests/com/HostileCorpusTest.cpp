// The hostile corpus through the COM server, as a host would call it: each
// file gets the outcome orvconvert gives it on Linux, and every reference the
// server took from the host comes back.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "../hostile/HostileCorpus.h"
#include "HostDoubles.h"
#include "ORVConverter.h"

namespace orvtest {
namespace {

namespace fs = std::filesystem;

fs::path UnixFolder(const char* variable, const char* tail) {
    const char* root = std::getenv(variable);
    return fs::path(std::string("Z:") + (root ? root : "") + tail).make_preferred();
}

TEST(HostileCorpus, TheServerGivesEachFileItsOutcome) {
    const fs::path folder = UnixFolder("ORV_SOURCE_DIR", "/tests/hostile");
    const auto cases = orv::hostile::ReadCases(folder / "outcomes.txt");
    ASSERT_GE(cases.size(), 60u);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const fs::path scratch = fs::path(temp) / ("orv-hostile-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(scratch);

    ComPtr<_IConvertible> adapter;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_V2Adapter, nullptr, CLSCTX_INPROC_SERVER, IID__IConvertible, &adapter));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = orv::hostile::Materialise(c, folder / "corpus", scratch);
        g_log = HostLog{};
        ComPtr<TargetRun> run(new TargetRun);
        IDispatch* given = run.Get();
        BSTR path = Wide(file.string());
        const HRESULT hr = adapter->Convert(path, &given);
        SysFreeString(path);
        const RaisedError raised = TakeErrorInfo();
        const HRESULT expected = c.error ? static_cast<HRESULT>(0x800A0000u | static_cast<unsigned>(c.error)) : S_OK;
        EXPECT_EQ(hr, expected) << std::hex << hr << " " << raised.description;
        EXPECT_EQ(run->References(), 1u) << "references to the run left behind";
        g_created = Created{};
        run.Reset();
        EXPECT_EQ(g_liveObjects, 0) << "host objects still referenced";
        if (c.repeat) fs::remove(file);
    }
    fs::remove_all(scratch);
}

}  // namespace
}  // namespace orvtest
