// Host fault injection through the COM server: for each bundled example the
// host refuses its k-th call, for every k. The host's failure and its error
// information reach the caller unchanged, except in the test-set part, which
// goes on without it; every reference the server took is given back; no data
// file is left but the training file of a failed training load; the run file
// is not touched.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "Server.h"

namespace orvtest {
namespace {

namespace fs = std::filesystem;

// The data files the recording host's writer made and left in the temporary folder.
std::set<fs::path> DataFiles() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::set<fs::path> files;
    for (const auto& e : fs::directory_iterator(temp)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("orv", 0) == 0 && e.path().extension() == ".tmp") files.insert(e.path());
    }
    return files;
}

// Position (from 1) of the first host call from `from` on that starts with the text; past the end when none.
std::size_t Find(const std::vector<std::string>& calls, const std::string& prefix, std::size_t from = 0) {
    const auto at = std::find_if(calls.begin() + static_cast<std::ptrdiff_t>(from), calls.end(),
                                 [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    return static_cast<std::size_t>(at - calls.begin()) + 1;
}

TEST(HostFaults, EveryRefusedCallReachesTheCallerUnchanged) {
    const ComPtr<_IConvertible> adapter = NewAdapter();
    std::size_t seen = 0;
    for (const auto& entry : fs::directory_iterator(SourcePath("examples"))) {
        if (entry.path().extension() != ".kvr") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++seen;
        const std::string before = ReadFile(entry.path());
        ResetLog();
        ASSERT_HRESULT_SUCCEEDED(ConvertFresh(adapter.Get(), entry.path()));
        const std::vector<std::string> calls = g_log.calls;
        // The training file exists from its writing until its load returns;
        // the test set runs from after that load until the model begins.
        const std::size_t written = Find(calls, "WriteTempFile"), loaded = Find(calls, "LoadFromFile 1", written);
        const std::size_t model = Find(calls, "AttachRun", loaded);
        const auto filesBefore = DataFiles();
        for (std::size_t k = 1; k <= calls.size(); ++k) {
            SCOPED_TRACE("refused call " + std::to_string(k) + ": " + calls[k - 1]);
            ResetLog();
            const HRESULT refusal = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x200 + k);
            // Every other refusal comes without error information: none may be made up for it.
            g_log.refusal = refusal;
            g_log.refusalText = k % 2 ? L"Refused by the host" : nullptr;
            g_log.refuseAt = k;
            const HRESULT hr = ConvertFresh(adapter.Get(), entry.path());
            const RaisedError error = TakeError();
            if (k > loaded && k < model) {
                EXPECT_EQ(hr, S_OK) << std::hex << hr;
            } else {
                EXPECT_EQ(hr, refusal) << std::hex << hr;
                EXPECT_EQ(error.info.Get(), g_log.raised.Get()) << "the host's own error information";
                EXPECT_EQ(g_log.calls.size(), k) << "no call after the refused one";
            }
            std::size_t left = 0;
            for (const auto& f : DataFiles()) {
                if (filesBefore.count(f)) continue;
                ++left;
                fs::remove(f);
            }
            EXPECT_EQ(left, k > written && k <= loaded ? 1u : 0u);
        }
        EXPECT_TRUE(ReadFile(entry.path()) == before) << "the run file was changed";
    }
    EXPECT_GE(seen, 5u);
}

}  // namespace
}  // namespace orvtest
