// Whole conversions: the entry's own errors, and the bundled examples
// converted into the reference host.
#include <gtest/gtest.h>

#include <filesystem>

#include "adapter/V2Adapter.h"
#include "host/HostJson.h"
#include "host/RecordingHost.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

using refhost::Json;

TEST(Convert, TellsBadFilesApartWithoutTouchingTheRun) {
    struct Case { std::string name, bytes; std::int32_t number; const char* description; };
    const std::vector<Case> cases = {
        {"missing.kvr", "", v2FileNotFound, "File not found."},  // not written
        {"text.kvr", "hello\r\n", v2InvalidFormat, "Wrong file format."},
        {"v1.kvr", "<ORV>\r\n<VERSION>1.0</VERSION>\r\n", v2InvalidFile, "Invalid file."},
        {"noattr.kvr", "<ORV>\r\n<VERSION>2.0</VERSION>\r\n<NAME>x</NAME>\r\n<RUN>\r\n", 20015,
         "The file is invalid or was saved with a different version of ORV."},
    };
    test::TempDir dir;
    refhost::ReferenceHost host;
    refhost::CallLog log;
    refhost::RecordingFactory factory(host, log);
    auto target = refhost::RecordingRun(host.CreateRun(), log);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = c.bytes.empty() ? dir.path() / c.name : dir.Write(c.name, c.bytes);
        EXPECT_COM_ERROR(V2Adapter(factory).Convert(path.string(), target), c.number, c.description);
    }
    EXPECT_TRUE(log.calls.empty());
    // A caller without a target run learns it only after the file has loaded.
    EXPECT_COM_ERROR(V2Adapter(factory).Convert((test::ExamplesDir() / "regression.kvr").string(), nullptr), 13,
                     nullptr);
    EXPECT_COM_ERROR(V2Adapter(factory).Convert(dir.Write("bad.kvr", "hello").string(), nullptr), v2InvalidFormat,
                     nullptr);
}

std::vector<std::filesystem::path> Examples() {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(test::ExamplesDir()))
        if (e.path().extension() == ".kvr") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

Json ConvertExample(const std::filesystem::path& file) {
    refhost::ReferenceHost host;
    auto run = host.CreateRun();
    V2Adapter(host).Convert(file.string(), run);
    EXPECT_TRUE(std::filesystem::is_empty(host.TempPath())) << "no data file is left behind";
    return refhost::RunJson(*run, refhost::ToUtf8("windows-1252"));
}

TEST(Convert, BundledExamplesArriveWholeInEitherLocale) {
    const auto files = Examples();
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        Json point, comma;
        {
            test::ScopedLocale locale(test::kPointLocale);
            point = ConvertExample(file);
        }
        {
            test::ScopedLocale locale(test::kCommaLocale);
            comma = ConvertExample(file);
        }
        EXPECT_EQ(point, comma) << "the locale changes nothing in the converted run";
        EXPECT_FALSE(point["functionSet"].empty());
        EXPECT_GE(point["settings"].size(), 35u);
        const auto& settings = point["settings"];
        const auto& train = point["dataSets"][0];
        EXPECT_EQ(train["records"].size(), settings["data#train_Samples"]["value"]);
        EXPECT_EQ(train["separator"], settings["data#train_Separator"]["value"]);
        if (settings.contains("data#UseTestSet")) {
            EXPECT_EQ(point["dataSets"][1]["records"].size(), settings["data#test_Samples"]["value"]);
        }
        if (!point["models"].empty()) {
            EXPECT_EQ(point["selectedModel"], 1);
            EXPECT_EQ(point["models"][0]["program"].size(),
                      settings["set_gen#Genes"]["value"].get<int>() *
                          (2 * settings["set_gen#Head"]["value"].get<int>() + 1));
        }
    }
}

TEST(Convert, RegressionExampleInDetail) {
    test::ScopedLocale locale(test::kCommaLocale);
    const Json run = ConvertExample(test::HandWrittenDir() / "regression.kvr");
    EXPECT_EQ(run["key"], "Pump efficiency");
    EXPECT_EQ(run["functionSet"].size(), 6u);
    EXPECT_EQ(run["settings"]["data#train_Separator"]["value"], 3);
    EXPECT_EQ(run["dataSets"][0]["fieldNames"], Json({"flow", "head", "speed", "efficiency"}));
    EXPECT_EQ(run["dataSets"][0]["records"][0], Json({12.5, 18.2, 1.45, 0.612}));
    EXPECT_EQ(run["models"][0]["program"][0], 3) << "the code of \"*\"";
    EXPECT_EQ(run["models"][0]["statistics"]["trainBestFitness"], 1138.47210935);
}

}  // namespace
}  // namespace orv
