// The transfer of a loaded record, checked on the calls it makes on a
// recording host (wrapping the reference host).

#include "adapter/V2Adapter.h"
#include "adapter/V3Helpers.h"
#include "legacy_file/clsFileParser.h"
#include "host/RecordingHost.h"
#include "run_record/clsRun.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

using refhost::Json;

class Transfer : public ::testing::Test {
protected:
    // A run of two genes with both data sets, texts to escape and figures set.
    Transfer() {
        test::ScopedLocale point(test::kPointLocale);
        clsFileParser().LoadFile(ORV_SOURCE_DIR "/tests/adapter/data/transfer.kvr", record);
    }

    void Run() { adapter.TransferLoadedRun(record, target); }

    std::vector<Json> Calls(const std::string& name) const {
        std::vector<Json> out;
        for (const auto& c : log.calls)
            if (c["call"] == name) out.push_back(c);
        return out;
    }

    clsRun record;
    refhost::ReferenceHost host;
    std::shared_ptr<refhost::Run> run = host.CreateRun();
    refhost::CallLog log;
    refhost::RecordingFactory factory{host, log};
    std::shared_ptr<host::ITargetRun> target = refhost::RecordingRun(run, log);
    V2Adapter adapter{factory};
};

// The codes the bundled examples do not show (their golden calls pin the rest).
TEST_F(Transfer, MapsCodesToVersion3Values) {
    struct Case { std::function<void(clsRun&)> set; std::string key; Json value; };
    const std::vector<Case> cases = {
        {[](clsRun& r) { r.Separador(3); }, "data#test_Separator", 2}, {[](clsRun& r) { r.Separador(9); }, "data#train_Separator", 0},
        {[](clsRun& r) { r.Category(7); }, "set_gen#ProblemCategory", 1}, {[](clsRun& r) { r.ErrorType(1); }, "set_ff#ErrorType", 2},
        {[](clsRun& r) { r.StopConditionIndex(4); }, "run_status#EvolveUntil", 5},
    };
    record.TrainValues(""), record.ValidationValues("");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        clsRun r = record;
        c.set(r);
        adapter.TransferLoadedRun(r, target);
        Json j;
        refhost::AddSettingValue(j, *run->Settings().Find(c.key), log.toUtf8);
        EXPECT_EQ(j["value"], c.value);
    }
}

// PutValue writes the key CheckKey found, and none before it has found one.
TEST_F(Transfer, AKnownKeyGoesToPutValueAlone) {
    EXPECT_COM_ERROR(run->Settings().PutValue({std::int32_t{1}, 3}), 91, nullptr);
    run->Settings().Set("set_gen#Head", {std::int32_t{0}, 3});
    Run();
    const auto values = Calls("PutValue");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0]["value"], 2);
    EXPECT_EQ(std::get<std::int32_t>(run->Settings().Find("set_gen#Head")->value), 2);
}

TEST_F(Transfer, BuildsOneEntryPerFunctionWithItsCount) {
    record.FunctionSet("+*+-+");
    Run();
    const auto& entries = run->FunctionSet()->Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].key + std::to_string(entries[0].count), "Add3");
    EXPECT_EQ(Calls("UpdateEntry").size(), 2u);
}

// An empty function set is still handed over; an empty K-expression adds no model.
TEST_F(Transfer, EmptyFunctionSetAndKexpression) {
    record.FunctionSet("");
    record.Karva("   ");
    Run();
    ASSERT_NE(run->FunctionSet(), nullptr);
    EXPECT_TRUE(run->FunctionSet()->Entries().empty());
    EXPECT_TRUE(Calls("CreateModel").empty() && Calls("GetModels").empty());
}

TEST_F(Transfer, AnUnknownSymbolStopsBeforeAnySetting) {
    for (const std::string set : {"+x-", "+p"}) {  // symbols are case-sensitive: "P" is not "p"
        log.calls.clear();
        record.FunctionSet(set);
        const std::string message = "Invalid character: " + set.substr(1, 1);
        EXPECT_COM_ERROR(Run(), v2InvalidCharInFunctionSet, message.c_str());
        EXPECT_EQ(Calls("AddEntry").size(), 1u);
        EXPECT_TRUE(Calls("SetFunctionSet").empty());
        EXPECT_TRUE(Calls("CheckKey").empty());
    }
}

// The same files whether the caller keeps the record or gives it up; a
// record given up lets go of its data texts and of nothing else.
TEST_F(Transfer, WritesDataFilesWithTheHeaderRules) {
    record.FieldNames("a b c");
    record.Separador(3);
    record.TrainValues("1,2,3");
    record.ValidationValues("4,5,6");
    for (const bool givenUp : {false, true}) {
        SCOPED_TRACE(givenUp);
        log.calls.clear();
        clsRun passed = record;
        if (givenUp) adapter.TransferLoadedRun(std::move(passed), target);
        else adapter.TransferLoadedRun(passed, target);
        const auto loads = Calls("LoadFromFile");
        ASSERT_EQ(loads.size(), 2u);
        EXPECT_EQ(loads[0]["text"], "a,b,c\r\n1,2,3");
        EXPECT_EQ(loads[1]["text"], "a b c\r\n4,5,6");
        EXPECT_EQ(loads[0]["separator"], 2);
        EXPECT_EQ(loads[0]["fieldNames"], true);
        EXPECT_EQ(loads[1]["which"], 2);
        EXPECT_TRUE(std::filesystem::is_empty(host.TempPath())) << "data files are deleted after loading";
        EXPECT_EQ(passed.TrainValues() + passed.ValidationValues(), givenUp ? "" : "1,2,34,5,6");
        EXPECT_EQ(passed.FieldNames(), "a b c");
        EXPECT_EQ(passed.Karva(), record.Karva());
    }
}

// Terminals past d9 (the examples stop at d2); "+dxd1" below is a "d" without a number.
TEST_F(Transfer, TransfersTheModelProgram) {
    record.Karva("+d0d12 + *d1d0");
    Run();
    ASSERT_EQ(run->Models().Models().size(), 1u);
    EXPECT_EQ(run->Models().Models()[0]->Program(), (std::vector<std::int32_t>{1, -1, -13, 3, -2, -1, 0, 0, 0, 0}));
}

TEST_F(Transfer, ABadModelAddsNothing) {
    for (const auto& row : test::DataRows("adapter/data/bad-models.txt")) {
        SCOPED_TRACE(row.where);
        refhost::ReferenceHost h;
        auto r = h.CreateRun();
        clsRun bad = record;
        bad.Karva(row[0]);
        bad.Head(std::stoi(row[1]));
        bad.Genes(1);
        EXPECT_COM_ERROR(V2Adapter(h).TransferLoadedRun(bad, r), std::stoi(row[2]), nullptr);
        EXPECT_TRUE(r->Models().Models().empty());
        EXPECT_TRUE(r->Data(1).Loaded()) << "what was sent before stays";
    }
}

}  // namespace
}  // namespace orv
