// The hostile corpus through the COM server, in both bitnesses: each file
// gets the outcome orvconvert gives it on Linux, and every reference the
// server took from the host comes back.
#include "../hostile/HostileCorpus.h"
#include "TableHost.h"

namespace orvtest {
namespace {

TEST(HostileCorpus, TheServerGivesEachFileItsOutcome) {
    const fs::path folder = SourcePath("tests/hostile");
    const auto cases = orv::hostile::ReadCases(folder / "outcomes.txt");
    ASSERT_GE(cases.size(), 60u);
    const ScratchFolder scratch;
    const ComPtr<_IConvertible> adapter = NewAdapter();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = orv::hostile::Materialise(c, folder / "corpus", scratch.path);
        ResetLog();
        const HRESULT hr = ConvertFresh(adapter.Get(), file);
        EXPECT_EQ(hr, c.error ? Raised(static_cast<unsigned>(c.error)) : S_OK) << std::hex << hr << " " << TakeError().description;
        if (c.repeat) fs::remove(file);
    }
}

}  // namespace
}  // namespace orvtest
