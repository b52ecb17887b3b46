// Host fault injection through the COM server: for each bundled example the
// host refuses its k-th call, for every k. The host's failure and its error
// information reach the caller unchanged, except in the test-set part, which
// goes on without it; every reference the server took is given back; no data
// file is left but the training file of a failed training load; the run file
// is not touched.
#include "TableHost.h"

namespace orvtest {
namespace {

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
        // Position (from 1) of the first call after the from-th that starts with the text.
        const auto find = [&calls](const char* prefix, std::size_t from) {
            while (from < calls.size() && !calls[from].starts_with(prefix)) ++from;
            return from + 1;
        };
        // The training file exists from its writing until its load returns;
        // the test set runs from after that load until the model begins.
        const std::size_t written = find("WriteTempFile", 0), loaded = find("LoadFromFile 1", written);
        const std::size_t model = find("AttachRun", loaded);
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
            for (const auto& f : g_log.written) left += fs::remove(f);
            EXPECT_EQ(left, k > written && k <= loaded ? 1u : 0u);
        }
        EXPECT_TRUE(ReadFile(entry.path()) == before) << "the run file was changed";
    }
    EXPECT_GE(seen, 5u);
}

}  // namespace
}  // namespace orvtest
