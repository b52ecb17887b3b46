#include "HostDoubles.h"

#include "HostBridges.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace orvtest {

namespace {

// The host's catalogue of native functions: name, arity, key, attr3, code and
// symbol by position. The last one has no symbol, so nothing can select it.
constexpr const char* kCatalogue =
    "<FFnatives>"
    "<function name=\"Addition\" arity=\"2\" key=\"Add\" weight=\"4\" code=\"1\" symbol=\"+\">x+y</function>"
    "<function name=\"Subtraction\" arity=\"2\" key=\"Sub\" weight=\"4\" code=\"2\" symbol=\"-\">x-y</function>"
    "<function name=\"Multiplication\" arity=\"2\" key=\"Mul\" weight=\"4\" code=\"3\" symbol=\"*\">x*y</function>"
    "<function name=\"Division\" arity=\"2\" key=\"Div\" weight=\"1\" code=\"4\" symbol=\"/\">x/y</function>"
    "<function name=\"Exponential\" arity=\"1\" key=\"Exp\" weight=\"1\" code=\"5\">exp(x)</function>"
    "</FFnatives>";

constexpr BSTR V3FunctionEntry::*kTexts[] = {&V3FunctionEntry::attr0, &V3FunctionEntry::key,
                                              &V3FunctionEntry::content2, &V3FunctionEntry::content1,
                                              &V3FunctionEntry::spare};

void FreeEntry(V3FunctionEntry& e) {
    for (auto text : kTexts) SysFreeString(e.*text);
    e = V3FunctionEntry{};
}

V3FunctionEntry CopyEntry(const V3FunctionEntry& from) {
    V3FunctionEntry to = from;
    for (auto text : kTexts) to.*text = SysAllocStringLen(from.*text, SysStringLen(from.*text));
    return to;
}

std::string VariantText(const VARIANT& v) {
    switch (v.vt) {
        case VT_I4: return std::to_string(v.lVal);
        case VT_I2: return std::to_string(v.iVal);
        case VT_R8: return NumberText(v.dblVal);
        case VT_BSTR: return Narrow(v.bstrVal);
        default: return "?";
    }
}

template <class T>
HRESULT Hand(const ComPtr<T>& object, void** out) {
    if (!out) return E_POINTER;
    *out = object.Get();
    if (object) object->AddRef();
    return S_OK;
}

template <class T, class I>
class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        ComPtr<T> object(new T);
        if constexpr (std::is_same_v<T, FunctionSet>) CreatedObjects().functionSets.push_back(object);
        if constexpr (std::is_same_v<T, Model>) CreatedObjects().models.push_back(object);
        return object->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory<CatalogueSource, IV3CatalogueSource> g_catalogue;
Factory<FunctionSet, IV3FunctionSet> g_functionSets;
Factory<TempFileWriter, IV3TempFileWriter> g_writers;
Factory<Model, IV3Model> g_models;

}  // namespace

HostLog& Log() {
    static HostLog log;
    return log;
}

LONG& LiveObjects() {
    static LONG live = 0;
    return live;
}

Created& CreatedObjects() {
    static Created created;
    return created;
}

std::string Narrow(BSTR text) {
    const int n = static_cast<int>(SysStringLen(text));
    std::string out(static_cast<std::size_t>(WideCharToMultiByte(CP_ACP, 0, text, n, nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, n, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    return out;
}

BSTR Wide(const std::string& text) {
    const int n = static_cast<int>(text.size());
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), n, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), n, wide.data(), static_cast<int>(wide.size()));
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string NumberText(double value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

template <class I>
HRESULT HostObject<I>::Call(const std::string& call) {
    HostLog& log = Log();
    log.calls.push_back(call);
    if (!log.refuse || call.rfind(log.refuse->call, 0) != 0) return S_OK;
    log.raised.Reset();
    if (!log.refuse->description.empty()) {
        ComPtr<ICreateErrorInfo> create;
        CreateErrorInfo(&create);
        BSTR source = Wide("Host.Run");
        BSTR description = Wide(log.refuse->description);
        create->SetSource(source);
        create->SetDescription(description);
        SysFreeString(source);
        SysFreeString(description);
        create.As(&log.raised);
    }
    SetErrorInfo(0, log.raised.Get());
    return log.refuse->result;
}

TargetRun::TargetRun() : models(new ModelList), settings_(new RunSettings) {
    dataSets_[0] = new DataSet;
    dataSets_[1] = new DataSet;
}

HRESULT TargetRun::GetModels(IV3ModelList** out) {
    const HRESULT hr = Call("GetModels");
    return FAILED(hr) ? hr : Hand(models, reinterpret_cast<void**>(out));
}

HRESULT TargetRun::GetSettings(IV3RunSettings** out) {
    const HRESULT hr = Call("GetSettings");
    return FAILED(hr) ? hr : Hand(settings_, reinterpret_cast<void**>(out));
}

HRESULT TargetRun::SetFunctionSet(IV3FunctionSet** set) {
    const HRESULT hr = Call("SetFunctionSet");
    if (SUCCEEDED(hr)) functionSet = *set;
    return hr;
}

HRESULT TargetRun::GetDataSet(LONG which, IV3DataSet** out) {
    if (which != 1 && which != 2) return E_INVALIDARG;
    const HRESULT hr = Call("GetDataSet " + std::to_string(which));
    return FAILED(hr) ? hr : Hand(dataSets_[which - 1], reinterpret_cast<void**>(out));
}

HRESULT RunSettings::PutValue(V3SettingValue* value) {
    Log().settings.push_back({"=", value->value.vt, VariantText(value->value), value->typeCode});
    return Call("PutValue");
}

HRESULT RunSettings::PutKeyedValue(V3KeyPair* key, V3SettingValue* value) {
    const std::string name = Narrow(key->section) + "#" + Narrow(key->name);
    Log().settings.push_back({name, value->value.vt, VariantText(value->value), value->typeCode});
    return Call("PutKeyedValue " + name);
}

// The host knows one key, to show that a known key travels without its name.
HRESULT RunSettings::CheckKey(BSTR* key, VARIANT_BOOL* known) {
    *known = Narrow(*key) == "run_status#Generation" ? VARIANT_TRUE : VARIANT_FALSE;
    return Call("CheckKey");
}

HRESULT DataSet::LoadFromFile(BSTR* path, LONG separator, VARIANT_BOOL fieldNames, LONG which) {
    const HRESULT hr = Call("LoadFromFile " + std::to_string(which));
    if (FAILED(hr)) return hr;
    std::ifstream file(Narrow(*path), std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    Log().dataSets.push_back({content.str(), separator, fieldNames == VARIANT_TRUE, which});
    return S_OK;
}

HRESULT DataSet::SeparatorText(LONG separator, BSTR* text) {
    static const char* const kTexts[] = {" ", "\t", ",", ";"};
    *text = Wide(separator >= 0 && separator < 4 ? kTexts[separator] : "");
    return Call("SeparatorText " + std::to_string(separator));
}

HRESULT Model::GetNumber(LONG* number) {
    *number = 7;
    return Call("GetNumber");
}

HRESULT Model::Number(const std::string& call, double value) { return Call(call + " " + NumberText(value)); }

HRESULT Model::AttachRun(IV3TargetRun** run) { return Call(run && *run ? "AttachRun" : "AttachRun Nothing"); }

HRESULT Model::SetProgram(SAFEARRAY** array) {
    LONG low = 0;
    LONG high = -1;
    SafeArrayGetLBound(*array, 1, &low);
    SafeArrayGetUBound(*array, 1, &high);
    program.clear();
    for (LONG i = low; i <= high; ++i) {
        LONG value = 0;
        SafeArrayGetElement(*array, &i, &value);
        program.push_back(value);
    }
    VARTYPE type = VT_EMPTY;
    SafeArrayGetVartype(*array, &type);
    return Call("SetProgram " + std::to_string(type));
}

HRESULT ModelList::AddModel(IV3Model** model, BSTR* name, IDispatch** item) {
    const HRESULT hr = Call("AddModel '" + Narrow(*name) + "'");
    if (FAILED(hr)) return hr;
    added.push_back(*model);
    ComPtr<NotARun> newItem(new NotARun);
    return Hand(newItem, reinterpret_cast<void**>(item));
}

HRESULT CatalogueSource::GetSection(BSTR* name, IXMLDOMNode** section) {
    const HRESULT hr = Call("GetSection " + Narrow(*name));
    if (FAILED(hr)) return hr;
    ComPtr<IXMLDOMDocument> document;
    HRESULT made = CoCreateInstance(orv::com::kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                    reinterpret_cast<void**>(document.GetAddressOf()));
    if (FAILED(made)) return made;
    BSTR xml = Wide(kCatalogue);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    document->loadXML(xml, &loaded);
    SysFreeString(xml);
    ComPtr<IXMLDOMElement> root;
    document->get_documentElement(root.GetAddressOf());
    return root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(section));
}

FunctionSet::~FunctionSet() {
    for (auto& [key, entry] : entries) FreeEntry(entry);
}

HRESULT FunctionSet::Initialise(IXMLDOMDocument** document) {
    BSTR xml = nullptr;
    (*document)->get_xml(&xml);
    initialXml = Narrow(xml);
    SysFreeString(xml);
    return Call("Initialise");
}

HRESULT FunctionSet::Contains(BSTR* key, VARIANT_BOOL* found) {
    *found = entries.count(Narrow(*key)) ? VARIANT_TRUE : VARIANT_FALSE;
    return Call("Contains " + Narrow(*key));
}

HRESULT FunctionSet::GetEntry(BSTR* key, V3FunctionEntry* entry) {
    *entry = CopyEntry(entries.at(Narrow(*key)));
    return Call("GetEntry " + Narrow(*key));
}

HRESULT FunctionSet::AddEntry(V3FunctionEntry* entry, LONG zero) {
    const std::string key = Narrow(entry->key);
    order.push_back(key);
    entries[key] = CopyEntry(*entry);
    return Call("AddEntry " + key + " " + std::to_string(zero));
}

HRESULT FunctionSet::UpdateEntry(V3FunctionEntry* entry) {
    const std::string key = Narrow(entry->key);
    FreeEntry(entries[key]);
    entries[key] = CopyEntry(*entry);
    return Call("UpdateEntry " + key);
}

HRESULT TempFileWriter::WriteTempFile(BSTR* text, BSTR* path) {
    const HRESULT hr = Call("WriteTempFile");
    if (FAILED(hr)) return hr;
    char folder[MAX_PATH] = {};
    char name[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "orv", 0, name);
    std::ofstream(name, std::ios::binary) << Narrow(*text);
    *path = Wide(name);
    return S_OK;
}

template HRESULT HostObject<IV3TargetRun>::Call(const std::string&);
template HRESULT HostObject<IV3RunSettings>::Call(const std::string&);
template HRESULT HostObject<IV3DataSet>::Call(const std::string&);
template HRESULT HostObject<IV3Model>::Call(const std::string&);
template HRESULT HostObject<IV3ModelList>::Call(const std::string&);
template HRESULT HostObject<IV3CatalogueSource>::Call(const std::string&);
template HRESULT HostObject<IV3FunctionSet>::Call(const std::string&);
template HRESULT HostObject<IV3TempFileWriter>::Call(const std::string&);

HostClasses::HostClasses() {
    const std::pair<const CLSID*, IClassFactory*> classes[] = {
        {&orv::com::kClsidCatalogueSource, &g_catalogue},
        {&orv::com::kClsidFunctionSet, &g_functionSets},
        {&orv::com::kClsidTempFileWriter, &g_writers},
        {&orv::com::kClsidModel, &g_models},
    };
    for (auto [clsid, factory] : classes) {
        DWORD cookie = 0;
        if (SUCCEEDED(CoRegisterClassObject(*clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie))) {
            cookies_.push_back(cookie);
        }
    }
}

HostClasses::~HostClasses() {
    for (DWORD cookie : cookies_) CoRevokeClassObject(cookie);
}

}  // namespace orvtest
