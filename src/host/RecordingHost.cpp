#include "host/RecordingHost.h"

#include <fstream>
#include <sstream>
#include <type_traits>

#include "common/ComError.h"
#include "platform/FilePath.h"

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
        log.calls[index]["error"] = Json{{"number", e.Number()}, {"description", log.toUtf8(e.Description())}};
        throw;
    }
}

Json Call(const char* name) { return Json{{"call", name}}; }

// A forwarding step that also logs its plain (number or boolean) result.
template <class F>
auto WithResult(F forward) {
    return [forward](Json& j) {
        auto result = forward();
        j["result"] = result;
        return result;
    };
}

Json ValueCall(const char* name, const host::SettingValue& value, const ToUtf8& toUtf8) {
    Json j = Call(name);
    AddSettingValue(j, value, toUtf8);
    return j;
}

std::string FileText(const std::string& path) {
    std::ifstream in(FilePath(path).Native(), std::ios::binary);
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
        return Record(log_, Json{{"call", "LoadXml"}, {"text", log_.toUtf8(text)}},
                      WithResult([&] { return inner_->LoadXml(text); }));
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
        return Record(log_, Json{{"call", "Contains"}, {"key", log_.toUtf8(key)}},
                      WithResult([&] { return inner_->Contains(key); }));
    }
    host::FunctionEntry GetEntry(const std::string& key) override {
        return Record(log_, Json{{"call", "GetEntry"}, {"key", log_.toUtf8(key)}}, [&](Json& j) {
            auto e = inner_->GetEntry(key);
            j["result"] = EntryJson(e, log_.toUtf8);
            return e;
        });
    }
    void AddEntry(host::FunctionEntry& entry, std::int32_t zero) override {
        Record(log_, Json{{"call", "AddEntry"}, {"entry", EntryJson(entry, log_.toUtf8)}, {"zero", zero}},
               [&](Json&) { inner_->AddEntry(entry, zero); });
    }
    void UpdateEntry(host::FunctionEntry& entry) override {
        Record(log_, Json{{"call", "UpdateEntry"}, {"entry", EntryJson(entry, log_.toUtf8)}},
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
        return Record(log_, Json{{"call", "GetSection"}, {"name", log_.toUtf8(name)}},
                      [&](Json&) { return inner_->GetSection(name); });
    }
};

class RecTempWriter : public Wrapper<host::ITempFileWriter> {
public:
    using Wrapper::Wrapper;
    std::string WriteTempFile(const std::string& text) override {
        return Record(log_, Json{{"call", "WriteTempFile"}, {"text", log_.toUtf8(text)}}, [&](Json& j) {
            auto path = inner_->WriteTempFile(text);
            j["result"] = log_.toUtf8(path);
            return path;
        });
    }
};

class RecSettings : public Wrapper<host::IRunSettings> {
public:
    using Wrapper::Wrapper;
    void PutValue(const host::SettingValue& value) override {
        Record(log_, ValueCall("PutValue", value, log_.toUtf8), [&](Json&) { inner_->PutValue(value); });
    }
    void PutKeyedValue(const host::KeyPair& key, const host::SettingValue& value) override {
        Json j = Json{{"call", "PutKeyedValue"}, {"section", log_.toUtf8(key.section)}, {"name", log_.toUtf8(key.name)}};
        AddSettingValue(j, value, log_.toUtf8);
        Record(log_, std::move(j), [&](Json&) { inner_->PutKeyedValue(key, value); });
    }
    bool CheckKey(const std::string& key) override {
        return Record(log_, Json{{"call", "CheckKey"}, {"key", log_.toUtf8(key)}},
                      WithResult([&] { return inner_->CheckKey(key); }));
    }
};

class RecDataSet : public Wrapper<host::IDataSet> {
public:
    using Wrapper::Wrapper;
    void LoadFromFile(const std::string& path, std::int32_t separator, bool fieldNames, std::int32_t which) override {
        Json j{{"call", "LoadFromFile"},
               {"path", log_.toUtf8(path)},
               {"separator", separator},
               {"fieldNames", fieldNames},
               {"which", which},
               {"text", log_.toUtf8(FileText(path))}};
        Record(log_, std::move(j), [&](Json&) { inner_->LoadFromFile(path, separator, fieldNames, which); });
    }
    std::string SeparatorText(std::int32_t separator) override {
        return Record(log_, Json{{"call", "SeparatorText"}, {"separator", separator}}, [&](Json& j) {
            auto text = inner_->SeparatorText(separator);
            j["result"] = log_.toUtf8(text);
            return text;
        });
    }
};

class RecRun;

class RecModel : public Wrapper<host::IModel> {
public:
    using Wrapper::Wrapper;
    std::int32_t GetNumber() override {
        return Record(log_, Call("GetNumber"), WithResult([&] { return inner_->GetNumber(); }));
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
        Record(log_, Json{{"call", "AddModel"}, {"name", log_.toUtf8(name)}},
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
        Record(log_, Json{{"call", "SetKey"}, {"key", log_.toUtf8(key)}}, [&](Json&) { inner_->SetKey(key); });
    }
    void SetAuthor(const std::string& author) override {
        Record(log_, Json{{"call", "SetAuthor"}, {"author", log_.toUtf8(author)}},
               [&](Json&) { inner_->SetAuthor(author); });
    }
    void SetComments(const std::string& comments) override {
        Record(log_, Json{{"call", "SetComments"}, {"comments", log_.toUtf8(comments)}},
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

namespace {
// Logs the creation of a host object and hands out its recording wrapper.
template <class Recorder, class Create>
auto Created(CallLog& log, const char* name, Create create) {
    return Record(log, Call(name), [&](Json&) { return std::make_shared<Recorder>(create(), log); });
}
}  // namespace

std::shared_ptr<host::ICatalogueSource> RecordingFactory::CreateCatalogueSource() {
    return Created<RecCatalogue>(log_, "CreateCatalogueSource", [&] { return inner_.CreateCatalogueSource(); });
}
std::shared_ptr<host::IFunctionSetObject> RecordingFactory::CreateFunctionSetObject() {
    return Created<RecFunctionSet>(log_, "CreateFunctionSetObject", [&] { return inner_.CreateFunctionSetObject(); });
}
std::shared_ptr<host::ITempFileWriter> RecordingFactory::CreateTempFileWriter() {
    return Created<RecTempWriter>(log_, "CreateTempFileWriter", [&] { return inner_.CreateTempFileWriter(); });
}
std::shared_ptr<host::IModel> RecordingFactory::CreateModel() {
    return Created<RecModel>(log_, "CreateModel", [&] { return inner_.CreateModel(); });
}
std::shared_ptr<host::IXmlDocument> RecordingFactory::CreateXmlDocument() {
    return Created<RecXmlDocument>(log_, "CreateXmlDocument", [&] { return inner_.CreateXmlDocument(); });
}

std::shared_ptr<host::ITargetRun> RecordingRun(std::shared_ptr<host::ITargetRun> inner, CallLog& log) {
    return std::make_shared<RecRun>(std::move(inner), log);
}

}  // namespace orv::refhost
