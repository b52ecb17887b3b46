#include "host/RecordingHost.h"

#include <fstream>
#include <sstream>
#include <type_traits>

#include "common/ComError.h"

namespace orv::refhost {
namespace {

// Logs the call, lets the hook see it, forwards it, and records the result
// (through setResult) or the error.
template <class F>
auto Record(CallLog& log, Json call, F&& forward) {
    log.calls.push_back(std::move(call));
    const std::size_t index = log.calls.size() - 1;
    try {
        if (log.beforeForward) log.beforeForward(log.calls[index]);
        return forward(log.calls[index]);
    } catch (const ComError& e) {
        log.calls[index]["error"] = Json{{"number", e.Number()}, {"description", AnsiToUtf8(e.Description())}};
        throw;
    }
}

Json Call(const char* name) { return Json{{"call", name}}; }

Json ValueCall(const char* name, const host::SettingValue& value) {
    Json j = Call(name);
    AddSettingValue(j, value);
    return j;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream out;
    out << in.rdbuf();
    return std::move(out).str();
}

// Each wrapper keeps the wrapped object so that objects handed back to the
// host (function set, model, run, document) reach it unwrapped.
template <class I>
class Wrapper : public I {
public:
    Wrapper(std::shared_ptr<I> inner, CallLog& log) : inner_(std::move(inner)), log_(log) {}
    const std::shared_ptr<I>& Inner() const { return inner_; }

protected:
    std::shared_ptr<I> inner_;
    CallLog& log_;
};

template <class W, class I>
std::shared_ptr<I> Unwrap(const std::shared_ptr<I>& p) {
    if (auto* w = dynamic_cast<W*>(p.get())) return w->Inner();
    return p;
}

class RecXmlDocument : public Wrapper<host::IXmlDocument> {
public:
    using Wrapper::Wrapper;
    void SetAsync(bool async) override {
        Record(log_, Json{{"call", "SetAsync"}, {"async", async}}, [&](Json&) { inner_->SetAsync(async); });
    }
    bool LoadXml(const std::string& text) override {
        return Record(log_, Json{{"call", "LoadXml"}, {"text", AnsiToUtf8(text)}}, [&](Json& j) {
            const bool ok = inner_->LoadXml(text);
            j["result"] = ok;
            return ok;
        });
    }
};

class RecFunctionSet : public Wrapper<host::IFunctionSetObject> {
public:
    using Wrapper::Wrapper;
    void Initialise(host::IXmlDocument& document) override {
        Record(log_, Call("Initialise"), [&](Json&) {
            auto* w = dynamic_cast<RecXmlDocument*>(&document);
            inner_->Initialise(w ? *w->Inner() : document);
        });
    }
    bool Contains(const std::string& key) override {
        return Record(log_, Json{{"call", "Contains"}, {"key", AnsiToUtf8(key)}}, [&](Json& j) {
            const bool r = inner_->Contains(key);
            j["result"] = r;
            return r;
        });
    }
    host::FunctionEntry GetEntry(const std::string& key) override {
        return Record(log_, Json{{"call", "GetEntry"}, {"key", AnsiToUtf8(key)}}, [&](Json& j) {
            auto e = inner_->GetEntry(key);
            j["result"] = EntryJson(e);
            return e;
        });
    }
    void AddEntry(host::FunctionEntry& entry, std::int32_t zero) override {
        Record(log_, Json{{"call", "AddEntry"}, {"entry", EntryJson(entry)}, {"zero", zero}},
               [&](Json&) { inner_->AddEntry(entry, zero); });
    }
    void UpdateEntry(host::FunctionEntry& entry) override {
        Record(log_, Json{{"call", "UpdateEntry"}, {"entry", EntryJson(entry)}},
               [&](Json&) { inner_->UpdateEntry(entry); });
    }
};

class RecCatalogue : public Wrapper<host::ICatalogueSource> {
public:
    using Wrapper::Wrapper;
    void Open() override {
        Record(log_, Call("Open"), [&](Json&) { inner_->Open(); });
    }
    std::shared_ptr<host::IXmlNode> GetSection(const std::string& name) override {
        return Record(log_, Json{{"call", "GetSection"}, {"name", AnsiToUtf8(name)}},
                      [&](Json&) { return inner_->GetSection(name); });
    }
};

class RecTempWriter : public Wrapper<host::ITempFileWriter> {
public:
    using Wrapper::Wrapper;
    std::string WriteTempFile(const std::string& text) override {
        return Record(log_, Json{{"call", "WriteTempFile"}, {"text", AnsiToUtf8(text)}}, [&](Json& j) {
            auto path = inner_->WriteTempFile(text);
            j["result"] = AnsiToUtf8(path);
            return path;
        });
    }
};

class RecSettings : public Wrapper<host::IRunSettings> {
public:
    using Wrapper::Wrapper;
    void PutValue(const host::SettingValue& value) override {
        Record(log_, ValueCall("PutValue", value), [&](Json&) { inner_->PutValue(value); });
    }
    void PutKeyedValue(const host::KeyPair& key, const host::SettingValue& value) override {
        Json j = Json{{"call", "PutKeyedValue"}, {"section", AnsiToUtf8(key.section)}, {"name", AnsiToUtf8(key.name)}};
        AddSettingValue(j, value);
        Record(log_, std::move(j), [&](Json&) { inner_->PutKeyedValue(key, value); });
    }
    bool CheckKey(const std::string& key) override {
        return Record(log_, Json{{"call", "CheckKey"}, {"key", AnsiToUtf8(key)}}, [&](Json& j) {
            const bool r = inner_->CheckKey(key);
            j["result"] = r;
            return r;
        });
    }
};

class RecDataSet : public Wrapper<host::IDataSet> {
public:
    using Wrapper::Wrapper;
    void LoadFromFile(const std::string& path, std::int32_t separator, bool fieldNames, std::int32_t which) override {
        Json j{{"call", "LoadFromFile"},
               {"path", AnsiToUtf8(path)},
               {"separator", separator},
               {"fieldNames", fieldNames},
               {"which", which},
               {"text", AnsiToUtf8(FileText(path))}};
        Record(log_, std::move(j), [&](Json&) { inner_->LoadFromFile(path, separator, fieldNames, which); });
    }
    std::string SeparatorText(std::int32_t separator) override {
        return Record(log_, Json{{"call", "SeparatorText"}, {"separator", separator}}, [&](Json& j) {
            auto text = inner_->SeparatorText(separator);
            j["result"] = AnsiToUtf8(text);
            return text;
        });
    }
};

class RecRun;

class RecModel : public Wrapper<host::IModel> {
public:
    using Wrapper::Wrapper;
    std::int32_t GetNumber() override {
        return Record(log_, Call("GetNumber"), [&](Json& j) {
            const auto n = inner_->GetNumber();
            j["result"] = n;
            return n;
        });
    }
    void SetFlagB(std::int32_t v) override { Set("SetFlagB", v, [&] { inner_->SetFlagB(v); }); }
    void SetFlagA(std::int32_t v) override { Set("SetFlagA", v, [&] { inner_->SetFlagA(v); }); }
    void SetTrainBestFitness(double v) override { Set("SetTrainBestFitness", v, [&] { inner_->SetTrainBestFitness(v); }); }
    void SetTestBestFitness(double v) override { Set("SetTestBestFitness", v, [&] { inner_->SetTestBestFitness(v); }); }
    void SetTrainMaxFitness(double v) override { Set("SetTrainMaxFitness", v, [&] { inner_->SetTrainMaxFitness(v); }); }
    void SetTestMaxFitness(double v) override { Set("SetTestMaxFitness", v, [&] { inner_->SetTestMaxFitness(v); }); }
    void SetTrainRSquare(double v) override { Set("SetTrainRSquare", v, [&] { inner_->SetTrainRSquare(v); }); }
    void SetTestRSquare(double v) override { Set("SetTestRSquare", v, [&] { inner_->SetTestRSquare(v); }); }
    void AttachRun(const std::shared_ptr<host::ITargetRun>& run) override;
    void SetProgram(const std::vector<std::int32_t>& program) override {
        Record(log_, Json{{"call", "SetProgram"}, {"program", program}}, [&](Json&) { inner_->SetProgram(program); });
    }

private:
    template <class V, class F>
    void Set(const char* name, V value, F&& forward) {
        Record(log_, Json{{"call", name}, {"value", value}}, [&](Json&) { forward(); });
    }
};

class RecModelList : public Wrapper<host::IModelList> {
public:
    using Wrapper::Wrapper;
    void SelectModel(std::int32_t number) override {
        Record(log_, Json{{"call", "SelectModel"}, {"number", number}}, [&](Json&) { inner_->SelectModel(number); });
    }
    void AddModel(const std::shared_ptr<host::IModel>& model, const std::string& name) override {
        Record(log_, Json{{"call", "AddModel"}, {"name", AnsiToUtf8(name)}},
               [&](Json&) { inner_->AddModel(Unwrap<RecModel>(model), name); });
    }
};

class RecRun : public Wrapper<host::ITargetRun> {
public:
    using Wrapper::Wrapper;
    std::shared_ptr<host::IModelList> GetModels() override {
        return Record(log_, Call("GetModels"),
                      [&](Json&) { return std::make_shared<RecModelList>(inner_->GetModels(), log_); });
    }
    std::shared_ptr<host::IRunSettings> GetSettings() override {
        return Record(log_, Call("GetSettings"),
                      [&](Json&) { return std::make_shared<RecSettings>(inner_->GetSettings(), log_); });
    }
    void SetKey(const std::string& key) override {
        Record(log_, Json{{"call", "SetKey"}, {"key", AnsiToUtf8(key)}}, [&](Json&) { inner_->SetKey(key); });
    }
    void SetAuthor(const std::string& author) override {
        Record(log_, Json{{"call", "SetAuthor"}, {"author", AnsiToUtf8(author)}},
               [&](Json&) { inner_->SetAuthor(author); });
    }
    void SetComments(const std::string& comments) override {
        Record(log_, Json{{"call", "SetComments"}, {"comments", AnsiToUtf8(comments)}},
               [&](Json&) { inner_->SetComments(comments); });
    }
    void SetFunctionSet(const std::shared_ptr<host::IFunctionSetObject>& set) override {
        Record(log_, Call("SetFunctionSet"), [&](Json&) { inner_->SetFunctionSet(Unwrap<RecFunctionSet>(set)); });
    }
    void PrepareDataSet(std::int32_t which) override {
        Record(log_, Json{{"call", "PrepareDataSet"}, {"which", which}},
               [&](Json&) { inner_->PrepareDataSet(which); });
    }
    std::shared_ptr<host::IDataSet> GetDataSet(std::int32_t which) override {
        return Record(log_, Json{{"call", "GetDataSet"}, {"which", which}},
                      [&](Json&) { return std::make_shared<RecDataSet>(inner_->GetDataSet(which), log_); });
    }
};

void RecModel::AttachRun(const std::shared_ptr<host::ITargetRun>& run) {
    Record(log_, Call("AttachRun"), [&](Json&) { inner_->AttachRun(Unwrap<RecRun>(run)); });
}

}  // namespace

std::vector<std::string> CallLog::Names() const {
    std::vector<std::string> names;
    names.reserve(calls.size());
    for (const auto& c : calls) names.push_back(c.at("call").get<std::string>());
    return names;
}

std::shared_ptr<host::ICatalogueSource> RecordingFactory::CreateCatalogueSource() {
    return Record(log_, Call("CreateCatalogueSource"),
                  [&](Json&) { return std::make_shared<RecCatalogue>(inner_.CreateCatalogueSource(), log_); });
}
std::shared_ptr<host::IFunctionSetObject> RecordingFactory::CreateFunctionSetObject() {
    return Record(log_, Call("CreateFunctionSetObject"),
                  [&](Json&) { return std::make_shared<RecFunctionSet>(inner_.CreateFunctionSetObject(), log_); });
}
std::shared_ptr<host::ITempFileWriter> RecordingFactory::CreateTempFileWriter() {
    return Record(log_, Call("CreateTempFileWriter"),
                  [&](Json&) { return std::make_shared<RecTempWriter>(inner_.CreateTempFileWriter(), log_); });
}
std::shared_ptr<host::IModel> RecordingFactory::CreateModel() {
    return Record(log_, Call("CreateModel"),
                  [&](Json&) { return std::make_shared<RecModel>(inner_.CreateModel(), log_); });
}
std::shared_ptr<host::IXmlDocument> RecordingFactory::CreateXmlDocument() {
    return Record(log_, Call("CreateXmlDocument"),
                  [&](Json&) { return std::make_shared<RecXmlDocument>(inner_.CreateXmlDocument(), log_); });
}

std::shared_ptr<host::ITargetRun> RecordingRun(std::shared_ptr<host::ITargetRun> inner, CallLog& log) {
    return std::make_shared<RecRun>(std::move(inner), log);
}

}  // namespace orv::refhost
