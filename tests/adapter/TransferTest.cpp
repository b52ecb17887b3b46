// The transfer of a loaded record, checked on the calls it makes on a
// recording host (wrapping the reference host).
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <utility>

#include "adapter/V2Adapter.h"
#include "adapter/V3Helpers.h"
#include "host/RecordingHost.h"
#include "run_record/clsRun.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

using refhost::Json;

class Transfer : public ::testing::Test {
protected:
    Transfer() {
        record.Key("K1"), record.Author("Ann <a>"), record.Comments("two\r\nlines"), record.FunctionSet("+-*/");
        record.Head(2), record.Genes(2), record.LinkingFunction("*"), record.Geracoes(500), record.Cromossomas(30);
        record.NumeroTerminais(2), record.NumeroResultadosExp(2), record.NumeroResultadosValidar(1);
        record.TrainValues("1 2 3\r\n4 5 6"), record.ValidationValues("7 8 9"), record.Karva("+d0d1d0d1 * -d1d0d1d0");
        record.BestFitnessRun(150.5), record.rsQuareRun(0.9), record.BestFitnessVal(80), record.RsquareVal(0.8);
        record.SelectionRange(100), record.StopConditionIndex(0), record.StopConditionValue(2.5);
    }

    void Run() { adapter.TransferLoadedRun(record, target); }

    std::vector<Json> Calls(const std::string& name) const {
        std::vector<Json> out;
        for (const auto& c : log.calls)
            if (c["call"] == name) out.push_back(c);
        return out;
    }

    std::ptrdiff_t IndexOf(const std::string& name) const {
        const auto names = log.Names();
        return std::find(names.begin(), names.end(), name) - names.begin();
    }

    Json Setting(const std::string& key) const {
        Json j;
        const auto* v = run->Settings().Find(key);
        if (v) refhost::AddSettingValue(j, *v, log.toUtf8);
        return j;
    }

    clsRun record;
    refhost::ReferenceHost host;
    std::shared_ptr<refhost::Run> run = host.CreateRun();
    refhost::CallLog log;
    refhost::RecordingFactory factory{host, log};
    std::shared_ptr<host::ITargetRun> target = refhost::RecordingRun(run, log);
    V2Adapter adapter{factory};
};

TEST_F(Transfer, SendsTheSettingsInOrderWithTheirTypes) {
    Run();
    const std::vector<std::tuple<std::string, int, std::string, Json>> expected = {
        {"run_status#Generation", 3, "I4", 500}, {"set_gen#Chromosomes", 3, "I4", 30}, {"set_gen#Genes", 3, "I4", 2},
        {"set_gen#Head", 3, "I4", 2}, {"set_gen#LinkingFunction", 2, "I2", 42}, {"set_gen#ProblemCategory", 3, "I4", 0},
        {"set_ff#ErrorType", 2, "I4", 0}, {"set_ff#Precision", 5, "R8", 0.0}, {"set_ff#SelectionRange", 5, "R8", 100.0},
        {"set_ff#Threshold", 5, "R8", 0.0}, {"set_gop#Mutation", 5, "R8", 0.0}, {"set_gop#OnePointRec", 5, "R8", 0.0},
        {"set_gop#TwoPointRec", 5, "R8", 0.0}, {"set_gop#GeneRec", 5, "R8", 0.0}, {"set_gop#GeneTransp", 5, "R8", 0.0},
        {"set_gop#IS", 5, "R8", 0.0}, {"set_gop#RIS", 5, "R8", 0.0}, {"data#train_Separator", 3, "I4", 0},
        {"data#test_Separator", 3, "I4", 0}, {"data#train_Samples", 3, "I4", 2}, {"data#test_Samples", 3, "I4", 1},
        {"data#train_TerminalCount", 3, "I4", 2}, {"data#test_TerminalCount", 3, "I4", 2},
        {"data#train_Path", 8, "BSTR", ""}, {"data#test_Path", 8, "BSTR", ""},
        {"run_status#BestFitness", 5, "R8", 150.5}, {"run_status#BestOfRunTrainFitness", 5, "R8", 150.5},
        {"run_status#RSquare", 5, "R8", 0.9}, {"run_status#BestOfRunTrainRsquare", 5, "R8", 0.9},
        {"run_status#BestOfRunTrainMaxFit", 5, "R8", 200.0}, {"run_status#BestOfRunTestFitness", 5, "R8", 80.0},
        {"run_status#BestOfRunTestRsquare", 5, "R8", 0.8}, {"run_status#BestOfRunTestMaxFit", 5, "R8", 100.0},
        {"run_status#EvolveUntil", 3, "I4", 1}, {"run_status#StopValue", 3, "R8", 2.5}, {"data#UseTestSet", 3, "I2", 1},
    };
    const auto puts = Calls("PutKeyedValue");
    ASSERT_EQ(puts.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [key, type, vt, value] = expected[i];
        SCOPED_TRACE(key);
        EXPECT_EQ(puts[i]["section"].get<std::string>() + "#" + puts[i]["name"].get<std::string>(), key);
        EXPECT_EQ(puts[i]["type"], type);
        EXPECT_EQ(puts[i]["vt"], vt);
        EXPECT_EQ(puts[i]["value"], value);
    }
    EXPECT_EQ(Calls("SetKey")[0]["key"], "K1");
    EXPECT_EQ(Calls("SetAuthor")[0]["author"], "Ann <a>");
    EXPECT_EQ(Calls("SetComments")[0]["comments"], "two\r\nlines");
    // Function set first, then the texts and settings, then data, then the model.
    EXPECT_LT(IndexOf("SetFunctionSet"), IndexOf("SetKey"));
    EXPECT_LT(IndexOf("SetKey"), IndexOf("SetComments"));
    EXPECT_LT(IndexOf("SetComments"), IndexOf("SetAuthor"));
    EXPECT_LT(IndexOf("SetAuthor"), IndexOf("CheckKey"));
    EXPECT_LT(IndexOf("PrepareDataSet"), IndexOf("CreateModel"));
}

TEST_F(Transfer, MapsCodesToVersion3Values) {
    struct Case { std::function<void(clsRun&)> set; std::string key; Json value; };
    const std::vector<Case> cases = {
        {[](clsRun& r) { r.Separador(2); }, "data#train_Separator", 1}, {[](clsRun& r) { r.Separador(2); }, "data#test_Separator", 1},
        {[](clsRun& r) { r.Separador(1); }, "data#train_Separator", 3}, {[](clsRun& r) { r.Separador(3); }, "data#test_Separator", 2},
        {[](clsRun& r) { r.Separador(9); }, "data#train_Separator", 0}, {[](clsRun& r) { r.Category(1); }, "set_gen#ProblemCategory", 1},
        {[](clsRun& r) { r.Category(7); }, "set_gen#ProblemCategory", 1}, {[](clsRun& r) { r.ErrorType(1); }, "set_ff#ErrorType", 2},
        {[](clsRun& r) { r.ErrorType(2); }, "set_ff#ErrorType", 4}, {[](clsRun& r) { r.ErrorType(3); }, "set_ff#ErrorType", 11},
        {[](clsRun& r) { r.LinkingFunction("+"); }, "set_gen#LinkingFunction", 43},
        {[](clsRun& r) { r.StopConditionIndex(4); }, "run_status#EvolveUntil", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        clsRun r = record;
        r.TrainValues("");
        r.ValidationValues("");
        c.set(r);
        refhost::ReferenceHost h;
        auto plain = h.CreateRun();
        V2Adapter(h).TransferLoadedRun(r, plain);
        Json j;
        refhost::AddSettingValue(j, *plain->Settings().Find(c.key), log.toUtf8);
        EXPECT_EQ(j["value"], c.value);
    }
}

TEST_F(Transfer, AKnownKeyGoesToPutValueAlone) {
    run->Settings().Set("set_gen#Head", {std::int32_t{0}, 3});
    Run();
    const auto values = Calls("PutValue");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0]["value"], 2);
    EXPECT_EQ(Setting("set_gen#Head")["value"], 2);
}

TEST_F(Transfer, BuildsOneEntryPerFunctionWithItsCount) {
    record.FunctionSet("+*+-+");
    Run();
    const auto& entries = run->FunctionSet()->Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].key, "Add");
    EXPECT_EQ(entries[0].count, 3);
    EXPECT_TRUE(entries[0].selected);
    EXPECT_EQ(entries[0].content1, entries[0].content2);
    EXPECT_EQ(Calls("UpdateEntry").size(), 2u);
    EXPECT_EQ(Calls("LoadXml")[0]["text"], "<Run><FunctionSet><Dynamic></Dynamic><Static/></FunctionSet></Run>");
    EXPECT_EQ(Calls("SetAsync")[0]["async"], false);
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

TEST_F(Transfer, WithoutTestValuesTheTestSetIsLeftAlone) {
    record.ValidationValues("");
    Run();
    for (const auto& c : Calls("PrepareDataSet")) EXPECT_EQ(c["which"], 1);
    EXPECT_TRUE(Setting("data#UseTestSet").is_null());
    EXPECT_EQ(Calls("LoadFromFile").size(), 1u);
}

TEST_F(Transfer, TransfersTheModelProgramAndStatistics) {
    record.Karva("+d0d12 + *d1d0");
    record.Head(2);
    record.Genes(2);
    record.NumeroResultadosValidar(0);
    Run();
    ASSERT_EQ(run->Models().Models().size(), 1u);
    const auto& model = *run->Models().Models()[0];
    EXPECT_EQ(model.Program(), (std::vector<std::int32_t>{1, -1, -13, 3, -2, -1, 0, 0, 0, 0}));
    EXPECT_EQ(model.FlagA(), -1);
    EXPECT_EQ(model.FlagB(), 1);
    EXPECT_TRUE(model.Attached());
    EXPECT_EQ(run->Models().Selected(), 1);
    std::vector<std::string> tail;
    const auto names = log.Names();
    for (auto i = static_cast<std::size_t>(IndexOf("SetProgram")); i < names.size(); ++i) tail.push_back(names[i]);
    EXPECT_EQ(tail, (std::vector<std::string>{"SetProgram", "SetFlagB", "SetTrainBestFitness", "SetTrainRSquare",
                                              "SetTrainMaxFitness", "SetTestBestFitness", "SetTestRSquare",
                                              "SetTestMaxFitness", "GetModels", "AddModel", "GetModels", "GetNumber",
                                              "SelectModel"}));
    EXPECT_EQ(Calls("AddModel")[0]["name"], "");
    EXPECT_EQ(Calls("SetTestMaxFitness")[0]["value"], 0.0);
}

TEST_F(Transfer, ABadModelAddsNothing) {
    struct Case { std::string karva; Long head; int number; };
    const std::vector<Case> cases = {
        {"+d0d1d0d1d0d1", 1, 9},      // more symbols than the chromosome holds
        {"+dxd1", 2, 13},             // "d" without a number
        {"+d0?d1", 2, 5006},          // unknown function
        {"+d0d1", 1'000'000'000, 7},  // a chromosome too large to allocate
        {"+d0d1", 32768, 7},          // 65,537 symbols: past any real chromosome
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.karva);
        refhost::ReferenceHost h;
        auto r = h.CreateRun();
        clsRun bad = record;
        bad.Karva(c.karva);
        bad.Head(c.head);
        bad.Genes(1);
        EXPECT_COM_ERROR(V2Adapter(h).TransferLoadedRun(bad, r), c.number, nullptr);
        EXPECT_TRUE(r->Models().Models().empty());
        EXPECT_TRUE(r->Data(1).Loaded()) << "what was sent before stays";
    }
}

TEST_F(Transfer, RecordAndTargetFailures) {
    EXPECT_COM_ERROR(adapter.TransferLoadedRun(record, nullptr), 13, nullptr);
    EXPECT_TRUE(log.calls.empty());
    clsRun huge = record;
    huge.FunctionSet(std::string(4097, '+'));
    EXPECT_COM_ERROR(adapter.TransferLoadedRun(huge, target), 7, "Out of memory");
    EXPECT_TRUE(log.calls.empty()) << "refused before the host is asked anything";
    record.StopConditionIndex(std::numeric_limits<Long>::max());
    EXPECT_COM_ERROR(Run(), 6, nullptr);
    EXPECT_EQ(Calls("PutKeyedValue").size(), 33u);
}

TEST(LeadingNumber, TakesTheLeadingDigits) {
    EXPECT_EQ(V3Helpers::LeadingNumber("12+"), 12);
    EXPECT_EQ(V3Helpers::LeadingNumber("7"), 7);
    EXPECT_EQ(V3Helpers::LeadingNumber("007d"), 7);
    for (const char* bad : {"", "+1", "d1", " 1"}) EXPECT_COM_ERROR(V3Helpers::LeadingNumber(bad), 13, nullptr);
}

}  // namespace
}  // namespace orv
