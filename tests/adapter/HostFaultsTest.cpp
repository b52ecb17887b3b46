// Host fault injection: for each bundled example, the host refuses the k-th
// call of the conversion, for every k. The refusal reaches the caller
// unchanged, except in the test-set part, which goes on without it; no data
// file is left but the training file of a failed training load; the run file
// is not touched. The sanitizer build adds that nothing leaks.

#include "adapter/V2Adapter.h"
#include "host/RecordingHost.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

struct Outcome {
    std::vector<std::string> calls;  // names, in order, up to the refused one
    std::optional<ComError> error;
    std::size_t filesLeft = 0;
};

// Converts the file with the reference host refusing its call number
// `refuse` (from 1; 0 refuses none).
Outcome ConvertRefusing(const fs::path& file, std::size_t refuse) {
    refhost::ReferenceHost host;
    refhost::CallLog log;
    log.beforeForward = [&](const refhost::Json&) {
        if (log.calls.size() == refuse)
            throw ComError(static_cast<std::int32_t>(0x80040200u + refuse), "Host", "refused call " + std::to_string(refuse));
    };
    refhost::RecordingFactory factory(host, log);
    Outcome outcome;
    try {
        V2Adapter(factory).Convert(file.string(), refhost::RecordingRun(host.CreateRun(), log));
    } catch (const ComError& e) {
        outcome.error = e;
    }
    outcome.calls = log.Names();
    outcome.filesLeft = static_cast<std::size_t>(std::distance(fs::directory_iterator(host.TempPath()), {}));
    return outcome;
}

// Positions (from 1) of the first call with that name and, from there, of
// the first call with the other name; past the end when absent.
std::pair<std::size_t, std::size_t> Span(const std::vector<std::string>& calls, const std::string& first,
                                         const std::string& next, std::size_t from = 0) {
    std::size_t a = from;
    while (a < calls.size() && calls[a] != first) ++a;
    std::size_t b = a;
    while (b < calls.size() && calls[b] != next) ++b;
    return {a + 1, b + 1};
}

TEST(HostFaults, EveryRefusedCallEndsTheConversionExceptInTheTestSet) {
    std::size_t examples = 0;
    for (const auto& entry : fs::directory_iterator(test::ExamplesDir())) {
        if (entry.path().extension() != ".kvr") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++examples;
        const std::string before = test::ReadAll(entry.path());
        const Outcome clean = ConvertRefusing(entry.path(), 0);
        ASSERT_FALSE(clean.error) << clean.error->Description();
        const auto& calls = clean.calls;
        // The training file exists from its writing until its load returns;
        // the test set runs from after that load until the model begins.
        const auto [written, loaded] = Span(calls, "WriteTempFile", "LoadFromFile");
        const std::size_t model = Span(calls, "CreateModel", "").first;

        for (std::size_t k = 1; k <= calls.size(); ++k) {
            SCOPED_TRACE("refused call " + std::to_string(k) + ": " + calls[k - 1]);
            const Outcome o = ConvertRefusing(entry.path(), k);
            const bool testSet = k > loaded && k < model;
            if (testSet) {
                EXPECT_FALSE(o.error) << o.error->Description();
                EXPECT_EQ(o.calls.back(), calls.back()) << "the model still arrives";
            } else {
                ASSERT_TRUE(o.error.has_value());
                EXPECT_EQ(o.error->Number(), static_cast<std::int32_t>(0x80040200u + k));
                EXPECT_EQ(o.error->Source(), "Host");
                EXPECT_EQ(o.error->Description(), "refused call " + std::to_string(k));
                EXPECT_EQ(o.calls.size(), k) << "no call after the refused one";
            }
            EXPECT_EQ(o.filesLeft, k > written && k <= loaded ? 1u : 0u);
        }
        EXPECT_TRUE(test::ReadAll(entry.path()) == before) << "the run file was changed";
    }
    EXPECT_GE(examples, 5u);
}

}  // namespace
}  // namespace orv
