#include "HostBridges.h"

#include <algorithm>
#include <cstddef>
#include <type_traits>
#include <utility>
#include <variant>

#include "ComText.h"
#include "ErrorBoundary.h"

using Microsoft::WRL::ComPtr;

namespace orv::com {

namespace {

// The records as 32-bit and 64-bit hosts lay them out (natural alignment:
// VARIANT aligns to 8 bytes on both), checked for the architecture built.
template <std::size_t X86, std::size_t X64>
constexpr std::size_t kHostLayout = sizeof(void*) == 8 ? X64 : X86;
#define ORV_LAYOUT(what, x86, x64) static_assert((what) == kHostLayout<x86, x64>, #what)
ORV_LAYOUT(sizeof(V3SettingValue), 24, 32);
ORV_LAYOUT(offsetof(V3SettingValue, value), 0, 0);
ORV_LAYOUT(offsetof(V3SettingValue, typeCode), 16, 24);
ORV_LAYOUT(sizeof(V3KeyPair), 8, 16);
ORV_LAYOUT(offsetof(V3KeyPair, section), 0, 0);
ORV_LAYOUT(offsetof(V3KeyPair, name), 4, 8);
ORV_LAYOUT(sizeof(V3FunctionEntry), 40, 64);
ORV_LAYOUT(offsetof(V3FunctionEntry, code), 0, 0);
ORV_LAYOUT(offsetof(V3FunctionEntry, count), 4, 4);
ORV_LAYOUT(offsetof(V3FunctionEntry, attr3), 8, 8);
ORV_LAYOUT(offsetof(V3FunctionEntry, reserved1), 12, 12);
ORV_LAYOUT(offsetof(V3FunctionEntry, selected), 16, 16);
ORV_LAYOUT(offsetof(V3FunctionEntry, reserved2), 18, 18);
ORV_LAYOUT(offsetof(V3FunctionEntry, attr0), 20, 24);
ORV_LAYOUT(offsetof(V3FunctionEntry, key), 24, 32);
ORV_LAYOUT(offsetof(V3FunctionEntry, content2), 28, 40);
ORV_LAYOUT(offsetof(V3FunctionEntry, content1), 32, 48);
ORV_LAYOUT(offsetof(V3FunctionEntry, spare), 36, 56);
#undef ORV_LAYOUT

// What a call on an object the host answered as Nothing raises.
[[noreturn]] void RaiseObjectNotSet() {
    throw ComError(91, "", "Object variable or With block variable not set");
}

template <class T>
void** OutPtr(ComPtr<T>& p) {
    return reinterpret_cast<void**>(p.ReleaseAndGetAddressOf());
}

VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// An object passed by reference: the callee may release or replace what it
// is given, so it gets a reference of its own, and whatever is left in the
// variable afterwards is released.
template <class T>
class ByRefObject {
public:
    explicit ByRefObject(T* object) : object_(object) {
        if (object_) object_->AddRef();
    }
    ~ByRefObject() {
        if (object_) object_->Release();
    }
    ByRefObject(const ByRefObject&) = delete;
    ByRefObject& operator=(const ByRefObject&) = delete;
    T** Ref() noexcept { return &object_; }

private:
    T* object_;
};

// The setting value record as the host lays it out, owning its VARIANT.
class SettingRecord {
public:
    SettingRecord() { VariantInit(&record_.value); }
    ~SettingRecord() { VariantClear(&record_.value); }
    SettingRecord(const SettingRecord&) = delete;
    SettingRecord& operator=(const SettingRecord&) = delete;

    V3SettingValue* Fill(const host::SettingValue& from) {
        VariantClear(&record_.value);
        record_.typeCode = from.typeCode;
        std::visit(
            [this](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                VARIANT& out = record_.value;
                if constexpr (std::is_same_v<T, std::int32_t>) {
                    out.vt = VT_I4;
                    out.lVal = v;
                } else if constexpr (std::is_same_v<T, std::int16_t>) {
                    out.vt = VT_I2;
                    out.iVal = v;
                } else if constexpr (std::is_same_v<T, double>) {
                    out.vt = VT_R8;
                    out.dblVal = v;
                } else {
                    out.bstrVal = AllocBstr(v);
                    out.vt = VT_BSTR;
                }
            },
            from.value);
        return &record_;
    }

private:
    V3SettingValue record_{};
};

class KeyRecord {
public:
    KeyRecord() = default;
    ~KeyRecord() {
        SysFreeString(record_.section);
        SysFreeString(record_.name);
    }
    KeyRecord(const KeyRecord&) = delete;
    KeyRecord& operator=(const KeyRecord&) = delete;

    V3KeyPair* Fill(const host::KeyPair& from) {
        record_.section = AllocBstr(from.section);
        record_.name = AllocBstr(from.name);
        return &record_;
    }

private:
    V3KeyPair record_{};
};

// The texts of a function entry, field for field on both sides.
constexpr std::pair<BSTR V3FunctionEntry::*, std::string host::FunctionEntry::*> kEntryTexts[] = {
    {&V3FunctionEntry::attr0, &host::FunctionEntry::attr0},
    {&V3FunctionEntry::key, &host::FunctionEntry::key},
    {&V3FunctionEntry::content2, &host::FunctionEntry::content2},
    {&V3FunctionEntry::content1, &host::FunctionEntry::content1},
    {&V3FunctionEntry::spare, &host::FunctionEntry::spare},
};

// The function entry as the host lays it out, owning its texts.
class EntryRecord {
public:
    EntryRecord() = default;
    ~EntryRecord() { Clear(); }
    EntryRecord(const EntryRecord&) = delete;
    EntryRecord& operator=(const EntryRecord&) = delete;

    V3FunctionEntry* Fill(const host::FunctionEntry& from) {
        Clear();
        record_.code = from.code;
        record_.count = from.count;
        record_.attr3 = from.attr3;
        record_.reserved1 = from.reserved1;
        record_.selected = ToVariantBool(from.selected);
        record_.reserved2 = from.reserved2;
        for (auto [com, core] : kEntryTexts) record_.*com = AllocBstr(from.*core);
        return &record_;
    }

    V3FunctionEntry* Out() {
        Clear();
        return &record_;
    }

    host::FunctionEntry ToHost() const {
        host::FunctionEntry e;
        e.code = record_.code;
        e.count = record_.count;
        e.attr3 = record_.attr3;
        e.reserved1 = record_.reserved1;
        e.selected = record_.selected != VARIANT_FALSE;
        e.reserved2 = record_.reserved2;
        for (auto [com, core] : kEntryTexts) e.*core = AnsiFromBstr(record_.*com);
        return e;
    }

private:
    void Clear() noexcept {
        for (auto [com, core] : kEntryTexts) SysFreeString(record_.*com);
        record_ = V3FunctionEntry{};
    }

    V3FunctionEntry record_{};
};

// The program as a SAFEARRAY of 32-bit integers from index 0.
class ProgramArray {
public:
    explicit ProgramArray(const std::vector<std::int32_t>& program) {
        array_ = SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(program.size()));
        if (!array_) throw std::bad_alloc();
        void* data = nullptr;
        if (!program.empty() && SUCCEEDED(SafeArrayAccessData(array_, &data))) {
            std::copy(program.begin(), program.end(), static_cast<LONG*>(data));
            SafeArrayUnaccessData(array_);
        }
    }
    ~ProgramArray() {
        if (array_) SafeArrayDestroy(array_);
    }
    ProgramArray(const ProgramArray&) = delete;
    ProgramArray& operator=(const ProgramArray&) = delete;
    SAFEARRAY** Ref() noexcept { return &array_; }

private:
    SAFEARRAY* array_ = nullptr;
};

// Holds one host object and checks its calls against its interface.
template <class T>
class Bridge {
public:
    explicit Bridge(ComPtr<T> object) : object_(std::move(object)) {}
    T* Object() const noexcept { return object_.Get(); }

protected:
    void Check(HRESULT hr, const IID& iid) const { CheckHost(hr, object_.Get(), iid); }
    ComPtr<T> object_;
};

template <class Result, class T>
std::shared_ptr<Result> NotNothing(ComPtr<T> object) {
    if (!object) RaiseObjectNotSet();
    return std::make_shared<Result>(std::move(object));
}

class XmlNodeBridge final : public host::IXmlNode, Bridge<IXMLDOMNode> {
public:
    using Bridge::Bridge;

    std::shared_ptr<host::IXmlNode> FirstChild() override {
        ComPtr<IXMLDOMNode> child;
        Check(object_->get_firstChild(child.GetAddressOf()), IID_IXMLDOMNode);
        return child ? std::make_shared<XmlNodeBridge>(std::move(child)) : nullptr;
    }
    std::shared_ptr<host::IXmlNode> NextSibling() override {
        ComPtr<IXMLDOMNode> next;
        Check(object_->get_nextSibling(next.GetAddressOf()), IID_IXMLDOMNode);
        return next ? std::make_shared<XmlNodeBridge>(std::move(next)) : nullptr;
    }
    std::int32_t AttributeCount() override {
        ComPtr<IXMLDOMNamedNodeMap> attributes = Attributes();
        if (!attributes) return 0;
        long count = 0;
        CheckHost(attributes->get_length(&count), attributes.Get(), IID_IXMLDOMNamedNodeMap);
        return count;
    }
    std::string AttributeText(std::int32_t position) override {
        ComPtr<IXMLDOMNamedNodeMap> attributes = Attributes();
        if (!attributes) RaiseObjectNotSet();
        ComPtr<IXMLDOMNode> attribute;
        CheckHost(attributes->get_item(position, attribute.GetAddressOf()), attributes.Get(),
                  IID_IXMLDOMNamedNodeMap);
        if (!attribute) RaiseObjectNotSet();
        Bstr text;
        CheckHost(attribute->get_text(text.Out()), attribute.Get(), IID_IXMLDOMNode);
        return text.Ansi();
    }
    std::string Text() override {
        Bstr text;
        Check(object_->get_text(text.Out()), IID_IXMLDOMNode);
        return text.Ansi();
    }
    std::int32_t CountChildren(const std::string& name) override {
        Bstr query(name);
        ComPtr<IXMLDOMNodeList> list;
        Check(object_->selectNodes(query.Get(), list.GetAddressOf()), IID_IXMLDOMNode);
        if (!list) return 0;
        long count = 0;
        CheckHost(list->get_length(&count), list.Get(), IID_IXMLDOMNodeList);
        return count;
    }

private:
    ComPtr<IXMLDOMNamedNodeMap> Attributes() {
        ComPtr<IXMLDOMNamedNodeMap> attributes;
        Check(object_->get_attributes(attributes.GetAddressOf()), IID_IXMLDOMNode);
        return attributes;
    }
};

class XmlDocumentBridge final : public host::IXmlDocument, public Bridge<IXMLDOMDocument> {
public:
    using Bridge::Bridge;

    void SetAsync(bool async) override { Check(object_->put_async(ToVariantBool(async)), IID_IXMLDOMDocument); }
    bool LoadXml(const std::string& text) override {
        Bstr xml(text);
        VARIANT_BOOL loaded = VARIANT_FALSE;
        Check(object_->loadXML(xml.Get(), &loaded), IID_IXMLDOMDocument);
        return loaded != VARIANT_FALSE;
    }
};

// Objects the adapter hands back to the host must be ours.
template <class Target, class From>
Target& OurBridge(From& object) {
    auto* bridge = dynamic_cast<Target*>(&object);
    if (!bridge) throw ComError::TypeMismatch();
    return *bridge;
}

class CatalogueSourceBridge final : public host::ICatalogueSource, Bridge<IV3CatalogueSource> {
public:
    using Bridge::Bridge;

    void Open() override { Check(object_->Open(), IID_IV3CatalogueSource); }
    std::shared_ptr<host::IXmlNode> GetSection(const std::string& name) override {
        Bstr text(name);
        ComPtr<IXMLDOMNode> section;
        Check(object_->GetSection(text.Get(), section.GetAddressOf()), IID_IV3CatalogueSource);
        return NotNothing<XmlNodeBridge>(std::move(section));
    }
};

class FunctionSetBridge final : public host::IFunctionSetObject, public Bridge<IV3FunctionSet> {
public:
    using Bridge::Bridge;

    void Initialise(host::IXmlDocument& document) override {
        ByRefObject<IXMLDOMDocument> ref(OurBridge<XmlDocumentBridge>(document).Object());
        Check(object_->Initialise(ref.Ref()), IID_IV3FunctionSet);
    }
    bool Contains(const std::string& key) override {
        Bstr text(key);
        VARIANT_BOOL found = VARIANT_FALSE;
        Check(object_->Contains(text.Get(), &found), IID_IV3FunctionSet);
        return found != VARIANT_FALSE;
    }
    host::FunctionEntry GetEntry(const std::string& key) override {
        Bstr text(key);
        EntryRecord entry;
        Check(object_->GetEntry(text.Get(), entry.Out()), IID_IV3FunctionSet);
        return entry.ToHost();
    }
    void AddEntry(host::FunctionEntry& entry, std::int32_t zero) override {
        EntryRecord record;
        Check(object_->AddEntry(record.Fill(entry), zero), IID_IV3FunctionSet);
        entry = record.ToHost();
    }
    void UpdateEntry(host::FunctionEntry& entry) override {
        EntryRecord record;
        Check(object_->UpdateEntry(record.Fill(entry)), IID_IV3FunctionSet);
        entry = record.ToHost();
    }
};

class TempFileWriterBridge final : public host::ITempFileWriter, Bridge<IV3TempFileWriter> {
public:
    using Bridge::Bridge;

    std::string WriteTempFile(const std::string& text) override {
        Bstr content(text);
        Bstr path;
        Check(object_->WriteTempFile(content.Ref(), path.Out()), IID_IV3TempFileWriter);
        return path.Ansi();
    }
};

class RunSettingsBridge final : public host::IRunSettings, Bridge<IV3RunSettings> {
public:
    using Bridge::Bridge;

    void PutValue(const host::SettingValue& value) override {
        SettingRecord record;
        Check(object_->PutValue(record.Fill(value)), IID_IV3RunSettings);
    }
    void PutKeyedValue(const host::KeyPair& key, const host::SettingValue& value) override {
        KeyRecord keyRecord;
        SettingRecord valueRecord;
        Check(object_->PutKeyedValue(keyRecord.Fill(key), valueRecord.Fill(value)), IID_IV3RunSettings);
    }
    bool CheckKey(const std::string& key) override {
        Bstr text(key);
        VARIANT_BOOL known = VARIANT_FALSE;
        Check(object_->CheckKey(text.Get(), &known), IID_IV3RunSettings);
        return known != VARIANT_FALSE;
    }
};

class DataSetBridge final : public host::IDataSet, Bridge<IV3DataSet> {
public:
    using Bridge::Bridge;

    void LoadFromFile(const std::string& path, std::int32_t separator, bool fieldNames,
                      std::int32_t which) override {
        Bstr text(path);
        Check(object_->LoadFromFile(text.Get(), separator, ToVariantBool(fieldNames), which), IID_IV3DataSet);
    }
    std::string SeparatorText(std::int32_t separator) override {
        Bstr text;
        Check(object_->SeparatorText(separator, text.Out()), IID_IV3DataSet);
        return text.Ansi();
    }
};

class TargetRunBridge;

class ModelBridge final : public host::IModel, public Bridge<IV3Model> {
public:
    using Bridge::Bridge;

    std::int32_t GetNumber() override {
        LONG number = 0;
        Check(object_->GetNumber(&number), IID_IV3Model);
        return number;
    }
    void SetFlagB(std::int32_t value) override {
        LONG flag = value;
        Check(object_->SetFlagB(&flag), IID_IV3Model);
    }
    void SetFlagA(std::int32_t value) override {
        LONG flag = value;
        Check(object_->SetFlagA(&flag), IID_IV3Model);
    }
    void SetTrainBestFitness(double value) override { Check(object_->SetTrainBestFitness(&value), IID_IV3Model); }
    void SetTestBestFitness(double value) override { Check(object_->SetTestBestFitness(&value), IID_IV3Model); }
    void SetTrainMaxFitness(double value) override { Check(object_->SetTrainMaxFitness(&value), IID_IV3Model); }
    void SetTestMaxFitness(double value) override { Check(object_->SetTestMaxFitness(&value), IID_IV3Model); }
    void SetTrainRSquare(double value) override { Check(object_->SetTrainRSquare(&value), IID_IV3Model); }
    void SetTestRSquare(double value) override { Check(object_->SetTestRSquare(&value), IID_IV3Model); }
    void AttachRun(const std::shared_ptr<host::ITargetRun>& run) override;
    void SetProgram(const std::vector<std::int32_t>& program) override {
        ProgramArray array(program);
        Check(object_->SetProgram(array.Ref()), IID_IV3Model);
    }
};

class ModelListBridge final : public host::IModelList, Bridge<IV3ModelList> {
public:
    using Bridge::Bridge;

    void SelectModel(std::int32_t number) override { Check(object_->SelectModel(number), IID_IV3ModelList); }
    void AddModel(const std::shared_ptr<host::IModel>& model, const std::string& name) override {
        if (!model) RaiseObjectNotSet();
        ByRefObject<IV3Model> ref(OurBridge<ModelBridge>(*model).Object());
        Bstr text(name);
        ComPtr<IDispatch> item;
        Check(object_->AddModel(ref.Ref(), text.Ref(), item.GetAddressOf()), IID_IV3ModelList);
    }
};

class TargetRunBridge final : public host::ITargetRun, public Bridge<IV3TargetRun> {
public:
    using Bridge::Bridge;

    std::shared_ptr<host::IModelList> GetModels() override {
        ComPtr<IV3ModelList> models;
        Check(object_->GetModels(models.GetAddressOf()), IID_IV3TargetRun);
        return NotNothing<ModelListBridge>(std::move(models));
    }
    std::shared_ptr<host::IRunSettings> GetSettings() override {
        ComPtr<IV3RunSettings> settings;
        Check(object_->GetSettings(settings.GetAddressOf()), IID_IV3TargetRun);
        return NotNothing<RunSettingsBridge>(std::move(settings));
    }
    void SetKey(const std::string& key) override {
        Bstr text(key);
        Check(object_->SetKey(text.Ref()), IID_IV3TargetRun);
    }
    void SetAuthor(const std::string& author) override {
        Bstr text(author);
        Check(object_->SetAuthor(text.Ref()), IID_IV3TargetRun);
    }
    void SetComments(const std::string& comments) override {
        Bstr text(comments);
        Check(object_->SetComments(text.Ref()), IID_IV3TargetRun);
    }
    void SetFunctionSet(const std::shared_ptr<host::IFunctionSetObject>& set) override {
        if (!set) RaiseObjectNotSet();
        ByRefObject<IV3FunctionSet> ref(OurBridge<FunctionSetBridge>(*set).Object());
        Check(object_->SetFunctionSet(ref.Ref()), IID_IV3TargetRun);
    }
    void PrepareDataSet(std::int32_t which) override { Check(object_->PrepareDataSet(which), IID_IV3TargetRun); }
    std::shared_ptr<host::IDataSet> GetDataSet(std::int32_t which) override {
        ComPtr<IV3DataSet> dataSet;
        Check(object_->GetDataSet(which, dataSet.GetAddressOf()), IID_IV3TargetRun);
        return NotNothing<DataSetBridge>(std::move(dataSet));
    }
};

void ModelBridge::AttachRun(const std::shared_ptr<host::ITargetRun>& run) {
    if (!run) RaiseObjectNotSet();
    ByRefObject<IV3TargetRun> ref(OurBridge<TargetRunBridge>(*run).Object());
    Check(object_->AttachRun(ref.Ref()), IID_IV3Model);
}

// A class that cannot be created fails with the system's own code, and says
// which class it was.
template <class Result, class T>
std::shared_ptr<Result> Create(const CLSID& clsid, const IID& iid) {
    ComPtr<T> object;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, iid, OutPtr(object));
    if (FAILED(hr)) {
        wchar_t guid[40] = {};
        const int length = StringFromGUID2(clsid, guid, 40);
        throw ComError(static_cast<std::int32_t>(hr), "",
                       "ActiveX component can't create object " +
                           AnsiFromWide(guid, static_cast<std::size_t>(length > 0 ? length - 1 : 0)));
    }
    return NotNothing<Result>(std::move(object));
}

}  // namespace

std::shared_ptr<host::ITargetRun> BridgeTargetRun(ComPtr<IV3TargetRun> run) {
    return NotNothing<TargetRunBridge>(std::move(run));
}

std::shared_ptr<host::ICatalogueSource> ComHostFactory::CreateCatalogueSource() {
    return Create<CatalogueSourceBridge, IV3CatalogueSource>(kClsidCatalogueSource, IID_IV3CatalogueSource);
}
std::shared_ptr<host::IFunctionSetObject> ComHostFactory::CreateFunctionSetObject() {
    return Create<FunctionSetBridge, IV3FunctionSet>(kClsidFunctionSet, IID_IV3FunctionSet);
}
std::shared_ptr<host::ITempFileWriter> ComHostFactory::CreateTempFileWriter() {
    return Create<TempFileWriterBridge, IV3TempFileWriter>(kClsidTempFileWriter, IID_IV3TempFileWriter);
}
std::shared_ptr<host::IModel> ComHostFactory::CreateModel() {
    return Create<ModelBridge, IV3Model>(kClsidModel, IID_IV3Model);
}
std::shared_ptr<host::IXmlDocument> ComHostFactory::CreateXmlDocument() {
    return Create<XmlDocumentBridge, IXMLDOMDocument>(kClsidDomDocument, IID_IXMLDOMDocument);
}

}  // namespace orv::com
