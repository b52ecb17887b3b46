// The transfer of a loaded legacy record into the host's target run.
#include <cstdint>
#include <filesystem>
#include <limits>
#include <new>

#include "adapter/V2Adapter.h"
#include "adapter/V3Helpers.h"
#include "common/ComError.h"
#include "common/Conversions.h"
#include "common/Limits.h"
#include "run_record/clsRun.h"

namespace orv {
namespace {

using host::SettingValue;

// Runs one step whose failure must not stop the ones after it.
template <class F>
void IgnoringErrors(F&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

void RemoveDataFile(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::remove(path, ec) && ec) throw ComError::FileNotFound();
}

}  // namespace

void V2Adapter::TransferLoadedRun(const clsRun& run, const std::shared_ptr<host::ITargetRun>& pRun) {
    Transfer(run, pRun, nullptr);
}

void V2Adapter::TransferLoadedRun(clsRun&& run, const std::shared_ptr<host::ITargetRun>& pRun) {
    Transfer(run, pRun, &run);
}

void V2Adapter::Transfer(const clsRun& run, const std::shared_ptr<host::ITargetRun>& pRun, clsRun* releasing) {
    Guarded([&] {
        if (!pRun) throw ComError::TypeMismatch();
        const std::string functionSet = run.FunctionSet();
        if (functionSet.size() > limits::kMaxFunctionSetSymbols) throw ComError::OutOfMemory();
        auto set = BuildFunctionSet(functionSet);
        pRun->SetFunctionSet(set);
        TransferRunSettings(run, *pRun);
        TransferDataSets(run, *pRun, releasing);
        TransferModel(run, pRun);
    });
}

void V2Adapter::SetRunValue(const std::string& key, const SettingValue& value, host::ITargetRun& target) {
    auto settings = target.GetSettings();
    if (settings->CheckKey(key)) {
        const SettingValue copy = value;
        settings->PutValue(copy);
        return;
    }
    host::KeyPair pair;
    const auto hash = key.find('#');
    if (hash == std::string::npos) throw ComError::SubscriptOutOfRange();
    pair.section = key.substr(0, hash);
    const auto next = key.find('#', hash + 1);
    pair.name = key.substr(hash + 1, next == std::string::npos ? std::string::npos : next - hash - 1);
    settings->PutKeyedValue(pair, value);
}

void V2Adapter::TransferRunSettings(const clsRun& run, host::ITargetRun& target) {
    target.SetKey(run.Key());
    target.SetComments(run.Comments());
    target.SetAuthor(run.Author());

    SettingValue v;
    auto put = [&](const char* key, host::SettingVariant value, std::int32_t type) {
        v.value = std::move(value);
        v.typeCode = type;
        SetRunValue(key, v, target);
    };
    auto repeat = [&](const char* key) { SetRunValue(key, v, target); };
    using I4 = std::int32_t;
    using I2 = std::int16_t;

    put("run_status#Generation", I4{run.Geracoes()}, 3);
    put("set_gen#Chromosomes", I4{run.Cromossomas()}, 3);
    put("set_gen#Genes", I4{run.Genes()}, 3);
    put("set_gen#Head", I4{run.Head()}, 3);
    put("set_gen#LinkingFunction", static_cast<I2>(static_cast<unsigned char>(run.LinkingFunction().at(0))), 2);
    put("set_gen#ProblemCategory", I4{run.Category() != 0 ? 1 : 0}, 3);
    put("set_ff#ErrorType", V3Helpers::V3ErrorTypeCode(run.ErrorType()), 2);
    put("set_ff#Precision", run.Precision(), 5);
    put("set_ff#SelectionRange", run.SelectionRange(), 5);
    put("set_ff#Threshold", run.ClassThreshold(), 5);
    put("set_gop#Mutation", run.Mutation(), 5);
    put("set_gop#OnePointRec", run.OnePointRec(), 5);
    put("set_gop#TwoPointRec", run.TwoPointRec(), 5);
    put("set_gop#GeneRec", run.GeneRec(), 5);
    put("set_gop#GeneTransp", run.GeneTransp(), 5);
    put("set_gop#IS", run.ISTranspRate(), 5);
    put("set_gop#RIS", run.RISTranspRate(), 5);
    put("data#train_Separator", V3Helpers::V3SeparatorCode(run.Separador()), 3);
    repeat("data#test_Separator");
    put("data#train_Samples", I4{run.NumeroResultadosExp()}, 3);
    put("data#test_Samples", I4{run.NumeroResultadosValidar()}, 3);
    put("data#train_TerminalCount", I4{run.NumeroTerminais()}, 3);
    repeat("data#test_TerminalCount");
    put("data#train_Path", run.TrainPathFile(), 8);
    put("data#test_Path", run.ValPathFile(), 8);
    put("run_status#BestFitness", run.BestFitnessRun(), 5);
    repeat("run_status#BestOfRunTrainFitness");
    put("run_status#RSquare", run.rsQuareRun(), 5);
    repeat("run_status#BestOfRunTrainRsquare");
    put("run_status#BestOfRunTrainMaxFit", run.MaxFitnessRun(), 5);
    put("run_status#BestOfRunTestFitness", run.BestFitnessVal(), 5);
    put("run_status#BestOfRunTestRsquare", run.RsquareVal(), 5);
    put("run_status#BestOfRunTestMaxFit", run.MaxFitnessVal(), 5);
    const Long index = run.StopConditionIndex();
    if (index == std::numeric_limits<Long>::max()) throw ComError::Overflow();
    put("run_status#EvolveUntil", I4{index + 1}, 3);
    put("run_status#StopValue", run.StopConditionValue(), 3);
}

host::FunctionEntry V2Adapter::FindFunction(const std::string& symbol, const std::vector<host::FunctionEntry>& entries,
                                            const std::vector<std::string>& symbols) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i < symbols.size() && symbols[i] == symbol) return entries[i];
    }
    throw ComError(v2InvalidCharInFunctionSet, "", "Invalid character: " + symbol);
}

std::shared_ptr<host::IFunctionSetObject> V2Adapter::BuildFunctionSet(const std::string& functionSet) {
    auto set = factory_.CreateFunctionSetObject();
    auto document = factory_.CreateXmlDocument();
    std::vector<host::FunctionEntry> entries;
    std::vector<std::string> symbols;
    V3Helpers::LoadFunctionCatalogue(factory_, entries, symbols);

    document->SetAsync(false);
    (void)document->LoadXml("<Run><FunctionSet><Dynamic></Dynamic><Static/></FunctionSet></Run>");
    set->Initialise(*document);

    for (const char c : functionSet) {
        host::FunctionEntry entry = FindFunction(std::string(1, c), entries, symbols);
        entry.selected = true;
        entry.count = 1;
        if (set->Contains(entry.key)) {
            entry = set->GetEntry(entry.key);
            if (entry.count == std::numeric_limits<std::int32_t>::max()) throw ComError::Overflow();
            entry.count += 1;
            set->UpdateEntry(entry);
        } else {
            set->AddEntry(entry, 0);
        }
    }
    return set;
}

void V2Adapter::TransferDataSets(const clsRun& run, host::ITargetRun& target, clsRun* releasing) {
    auto writer = factory_.CreateTempFileWriter();
    target.PrepareDataSet(1);
    std::int32_t sep = V3Helpers::V3SeparatorCode(run.Separador());

    // A data file: the names line, when there is one, then the values. A
    // record that was given up hands its values text over, and the host may
    // keep it as it is after the names line; otherwise a names line costs a
    // copy. Either way the text is gone before the host loads the file.
    const auto writeData = [&](const std::string* namesLine, const std::string& values, auto take) {
        if (!releasing && !namesLine) return writer->WriteTempFile(values);
        return writer->WriteOwnedTempFile(namesLine ? *namesLine + "\r\n" : std::string(),
                                          releasing ? take() : std::string(values));
    };
    const auto takeTrain = [&] { return releasing->TakeTrainValues(); };
    const auto takeTest = [&] { return releasing->TakeValidationValues(); };

    std::string file;
    const bool names = !run.FieldNames().empty();
    if (names) {
        const std::string sepText = target.GetDataSet(1)->SeparatorText(sep);
        const std::string header = ReplaceAll(run.FieldNames(), " ", sepText);
        file = writeData(&header, run.TrainValues(), takeTrain);
    } else {
        file = writeData(nullptr, run.TrainValues(), takeTrain);
    }
    target.GetDataSet(1)->LoadFromFile(file, sep, names, 1);

    // From here on a failing step is skipped and the next one runs: the test
    // set is optional to the host.
    IgnoringErrors([&] { RemoveDataFile(file); });
    if (run.ValidationValues().empty()) return;
    IgnoringErrors([&] {
        SetRunValue("data#UseTestSet", SettingValue{std::int16_t{1}, 3}, target);
    });
    IgnoringErrors([&] { target.PrepareDataSet(2); });
    IgnoringErrors([&] {
        file = writeData(names ? &run.FieldNames() : nullptr, run.ValidationValues(), takeTest);
    });
    IgnoringErrors([&] { sep = V3Helpers::V3SeparatorCode(run.Separador()); });
    IgnoringErrors([&] { target.GetDataSet(2)->LoadFromFile(file, sep, names, 2); });
    IgnoringErrors([&] { RemoveDataFile(file); });
}

void V2Adapter::TransferModel(const clsRun& run, const std::shared_ptr<host::ITargetRun>& target) {
    const std::string kexpression = run.Kexpression();
    if (kexpression.empty()) return;

    auto model = factory_.CreateModel();
    model->AttachRun(target);
    model->SetFlagA(-1);

    const std::int64_t size = run.TamanhoCromossoma();
    if (size > limits::kMaxChromosomeSymbols) throw ComError::OutOfMemory();
    std::vector<std::int32_t> program(static_cast<std::size_t>(size > 0 ? size : 0), 0);

    std::vector<host::FunctionEntry> entries;
    std::vector<std::string> symbols;
    V3Helpers::LoadFunctionCatalogue(factory_, entries, symbols);

    std::size_t pos = 0;
    auto store = [&](std::int32_t code) {
        if (pos >= program.size()) throw ComError::SubscriptOutOfRange();
        program[pos++] = code;
    };
    for (std::size_t p = 0; p < kexpression.size(); ++p) {
        const char c = kexpression[p];
        if (c == 'd') {
            const std::int32_t t = V3Helpers::LeadingNumber(std::string_view(kexpression).substr(p + 1, 3));
            store(-(t + 1));
        } else if (c >= '0' && c <= '9') {
            continue;
        } else {
            store(FindFunction(std::string(1, c), entries, symbols).code);
        }
    }

    model->SetProgram(program);
    model->SetFlagB(1);
    model->SetTrainBestFitness(run.BestFitnessRun());
    model->SetTrainRSquare(run.rsQuareRun());
    model->SetTrainMaxFitness(run.MaxFitnessRun());
    model->SetTestBestFitness(run.BestFitnessVal());
    model->SetTestRSquare(run.RsquareVal());
    model->SetTestMaxFitness(run.MaxFitnessVal());

    target->GetModels()->AddModel(model, "");
    auto models = target->GetModels();
    models->SelectModel(model->GetNumber());
}

}  // namespace orv
