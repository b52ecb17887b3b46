// Whole conversions: the entry's own errors, and each bundled example
// converted into the reference host, against its expected host calls and
// converted run in golden/ (ORV_UPDATE_GOLDEN=1 rewrites them).

#include "adapter/V2Adapter.h"
#include "common/Conversions.h"
#include "host/HostJson.h"
#include "host/RecordingHost.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

using refhost::Json;

// A bad file fails before the host is asked anything (the error of each
// kind of bad file is a row of the command table and of the hostile corpus);
// a caller without a target run learns it only after the file has loaded.
TEST(Convert, BadFilesFailWithoutTouchingTheRun) {
    test::TempDir dir;
    refhost::ReferenceHost host;
    refhost::CallLog log;
    refhost::RecordingFactory factory(host, log);
    for (const char* text : {"hello\r\n", "<ORV>\r\n<VERSION>2.0</VERSION>\r\n<NAME>x</NAME>\r\n<RUN>\r\n"})
        EXPECT_THROW(V2Adapter(factory).Convert(dir.Write("bad.kvr", text).string(), refhost::RecordingRun(host.CreateRun(), log)),
                     ComError);
    EXPECT_TRUE(log.calls.empty());
    EXPECT_COM_ERROR(V2Adapter(factory).Convert((test::ExamplesDir() / "regression.kvr").string(), nullptr), 13,
                     nullptr);
    EXPECT_COM_ERROR(V2Adapter(factory).Convert(dir.Write("bad.kvr", "hello").string(), nullptr), v2InvalidFormat,
                     nullptr);
}

// The calls, one JSON a line with the host's and the upgrade's folders as
// {temp} and {module}, and the converted run.
std::pair<std::string, std::string> ConvertExample(const fs::path& file) {
    refhost::ReferenceHost host;
    refhost::CallLog log;
    refhost::RecordingFactory factory(host, log);
    auto run = host.CreateRun();
    V2Adapter(factory).Convert(file.string(), refhost::RecordingRun(run, log));
    EXPECT_TRUE(fs::is_empty(host.TempPath())) << "no data file is left behind";
    const auto folders = [&](const std::string& text) {
        return ReplaceAll(ReplaceAll(text, host.TempPath().string(), "{temp}"), platform::ModuleFolder().string(), "{module}");
    };
    std::string calls;
    for (const auto& c : log.calls) calls += c.dump() + "\n";
    return {folders(calls), folders(refhost::RunJson(*run, refhost::ToUtf8("windows-1252")).dump(1) + "\n")};
}

// The calls are the same in either locale but for the decimal mark of the
// data files; the converted run is the same.
TEST(Convert, BundledExamplesMakeTheirGoldenCallsAndRun) {
    const fs::path golden = fs::path(ORV_SOURCE_DIR) / "tests" / "adapter" / "golden";
    std::size_t examples = 0;
    for (const auto& e : fs::directory_iterator(test::ExamplesDir())) {
        if (e.path().extension() != ".kvr") continue;
        SCOPED_TRACE(e.path().filename().string());
        ++examples;
        for (const char* locale : {test::kPointLocale, test::kCommaLocale}) {
            test::ScopedLocale scoped(locale);
            const auto [calls, run] = ConvertExample(e.path());
            if (locale == test::kPointLocale) test::ExpectGolden(golden / e.path().stem().concat(".calls"), calls);
            test::ExpectGolden(golden / e.path().stem().concat(".json"), run);
        }
    }
    EXPECT_GE(examples, 5u);
}

}  // namespace
}  // namespace orv
