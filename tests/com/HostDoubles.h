// A recording host for the COM server: the host's version-3 objects as COM
// objects that log what reaches them, can refuse one named call the way a
// host would (HRESULT plus error information), and count their references.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "HostBridges.h"
#include "ORVConverter.h"
#include "StaticFactory.h"
#include "V3Host.h"

namespace orvtest {

using Microsoft::WRL::ComPtr;

// key: "section#name", or "=" for a value put without its key.
struct SettingRow {
    std::string key;
    VARTYPE type;
    std::string value;
    std::int32_t typeCode;
    bool operator==(const SettingRow&) const = default;
};
inline void PrintTo(const SettingRow& r, std::ostream* out) { *out << r.key << " " << r.type << " " << r.value; }
// description null: no error information.
struct Refusal { HRESULT result; const wchar_t* description; };

// What reached the host during one conversion.
struct HostLog {
    std::vector<std::string> calls;
    std::vector<SettingRow> settings;
    std::vector<std::string> dataSets;  // the contents of the data files loaded, in order
    std::optional<Refusal> refuse;
    std::size_t refuseAt = 0;  // the call refused, counted from 1
    std::size_t answered = 0;  // calls that reached a host method
    ComPtr<IErrorInfo> raised;  // the error information of the refusal
};
inline HostLog g_log;

// Host objects alive now; 0 once every reference was given back.
inline LONG g_liveObjects = 0;

inline std::string Narrow(BSTR text) {
    const int n = static_cast<int>(SysStringLen(text));
    std::string out(static_cast<std::size_t>(WideCharToMultiByte(CP_ACP, 0, text, n, nullptr, 0, nullptr, nullptr)), 0);
    WideCharToMultiByte(CP_ACP, 0, text, n, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    return out;
}

// The text of a BSTR handed to us, which is freed.
inline std::string Take(BSTR text) {
    std::string narrow = Narrow(text);
    SysFreeString(text);
    return narrow;
}

inline BSTR Wide(const std::string& text) {
    const int n = static_cast<int>(text.size());
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), n, nullptr, 0)), 0);
    MultiByteToWideChar(CP_ACP, 0, text.data(), n, wide.data(), static_cast<int>(wide.size()));
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

// Shortest form, "." as decimal mark.
inline std::string NumberText(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// The thread's error information, taken (and so cleared).
struct RaisedError {
    ComPtr<IErrorInfo> info;  // null: none set
    std::string source, description;
};
inline RaisedError TakeErrorInfo() {
    RaisedError error;
    if (GetErrorInfo(0, &error.info) != S_OK) return error;
    BSTR text = nullptr;
    error.info->GetSource(&text);
    error.source = Take(text);
    error.info->GetDescription(&text);
    error.description = Take(text);
    return error;
}

// Every placeholder UnusedNN answers E_NOTIMPL. Names an interface does not
// have are plain members of the double, outside any vtable.
#define ORV_UNUSED(n) STDMETHODIMP Unused##n() { return E_NOTIMPL; }
#define ORV_UNUSED_TEN(d) ORV_UNUSED(d##0) ORV_UNUSED(d##1) ORV_UNUSED(d##2) ORV_UNUSED(d##3) ORV_UNUSED(d##4) \
                          ORV_UNUSED(d##5) ORV_UNUSED(d##6) ORV_UNUSED(d##7) ORV_UNUSED(d##8) ORV_UNUSED(d##9)

// IUnknown, IDispatch (not used: the server binds early), ISupportErrorInfo,
// reference counting and the call log, for any host interface I.
template <class I>
class HostObject : public I, public ISupportErrorInfo {
public:
    HostObject() { ++g_liveObjects; }
    virtual ~HostObject() { --g_liveObjects; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        const bool own = IsEqualIID(iid, __uuidof(I));
        if (own && !IsEqualIID(iid, IID_IDispatch)) g_log.calls.push_back("QueryInterface");
        *out = nullptr;
        if (own || IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) *out = static_cast<I*>(this);
        if (IsEqualIID(iid, IID_ISupportErrorInfo)) *out = static_cast<ISupportErrorInfo*>(this);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
        return IsEqualIID(iid, __uuidof(I)) ? S_OK : S_FALSE;
    }
    ORV_UNUSED_TEN(0) ORV_UNUSED_TEN(1) ORV_UNUSED_TEN(2) ORV_UNUSED_TEN(3) ORV_UNUSED_TEN(4)

    ULONG References() const { return references_; }

protected:
    // Logs the call; answers the planned refusal when this is the call to refuse.
    HRESULT Call(const std::string& call) {
        g_log.calls.push_back(call);
        ++g_log.answered;
        if (!g_log.refuse || g_log.refuseAt != g_log.answered) return S_OK;
        g_log.raised.Reset();
        if (g_log.refuse->description) {
            ComPtr<ICreateErrorInfo> create;
            CreateErrorInfo(&create);
            create->SetSource(const_cast<LPOLESTR>(L"Host.Run"));
            create->SetDescription(const_cast<LPOLESTR>(g_log.refuse->description));
            create.As(&g_log.raised);
        }
        SetErrorInfo(0, g_log.raised.Get());
        return g_log.refuse->result;
    }
    // Logs the call and, unless refused, hands out the object.
    template <class T, class Out>
    HRESULT CallHanding(const std::string& call, const ComPtr<T>& object, Out** out) {
        const HRESULT hr = Call(call);
        if (FAILED(hr)) return hr;
        if (!out) return E_POINTER;
        *out = object.Get();
        (*out)->AddRef();
        return S_OK;
    }

private:
    ULONG references_ = 0;
};

// An object without any host interface.
class NotARun final : public HostObject<IDispatch> {};

class RunSettings final : public HostObject<IV3RunSettings> {
public:
    STDMETHODIMP PutValue(V3SettingValue* value) override { return Put("=", *value); }
    STDMETHODIMP PutKeyedValue(V3KeyPair* key, V3SettingValue* value) override {
        return Put(Narrow(key->section) + "#" + Narrow(key->name), *value);
    }
    // The host knows one key, to show that a known key travels without its name.
    STDMETHODIMP CheckKey(BSTR key, VARIANT_BOOL* known) override {
        *known = Narrow(key) == "run_status#Generation" ? VARIANT_TRUE : VARIANT_FALSE;
        return Call("CheckKey");
    }

private:
    HRESULT Put(const std::string& key, V3SettingValue& v) {
        VARIANT text{};
        VariantChangeTypeEx(&text, &v.value, LOCALE_INVARIANT, 0, VT_BSTR);
        g_log.settings.push_back({key, v.value.vt, Take(text.bstrVal), v.typeCode});
        return Call(key == "=" ? "PutValue" : "PutKeyedValue " + key);
    }
};

class DataSet final : public HostObject<IV3DataSet> {
public:
    STDMETHODIMP LoadFromFile(BSTR path, LONG separator, VARIANT_BOOL fieldNames, LONG which) override {
        const HRESULT hr = Call("LoadFromFile " + std::to_string(which) + " " + std::to_string(separator) +
                                (fieldNames == VARIANT_TRUE ? " names" : ""));
        if (FAILED(hr)) return hr;
        std::ostringstream content;
        content << std::ifstream(Narrow(path), std::ios::binary).rdbuf();
        g_log.dataSets.push_back(content.str());
        return S_OK;
    }
    STDMETHODIMP SeparatorText(LONG separator, BSTR* text) override {
        static const char* const kTexts[] = {" ", "\t", ",", ";"};
        *text = Wide(separator >= 0 && separator < 4 ? kTexts[separator] : "");
        return Call("SeparatorText " + std::to_string(separator));
    }
};

class Model final : public HostObject<IV3Model> {
public:
    STDMETHODIMP GetNumber(LONG* number) override {
        *number = 7;
        return Call("GetNumber");
    }
    STDMETHODIMP SetFlagB(LONG* value) override { return Number("SetFlagB", *value); }
    STDMETHODIMP SetFlagA(LONG* value) override { return Number("SetFlagA", *value); }
    STDMETHODIMP SetTrainBestFitness(DOUBLE* v) override { return Number("TrainBestFitness", *v); }
    STDMETHODIMP SetTestBestFitness(DOUBLE* v) override { return Number("TestBestFitness", *v); }
    STDMETHODIMP SetTrainMaxFitness(DOUBLE* v) override { return Number("TrainMaxFitness", *v); }
    STDMETHODIMP SetTestMaxFitness(DOUBLE* v) override { return Number("TestMaxFitness", *v); }
    STDMETHODIMP SetTrainRSquare(DOUBLE* v) override { return Number("TrainRSquare", *v); }
    STDMETHODIMP SetTestRSquare(DOUBLE* v) override { return Number("TestRSquare", *v); }
    STDMETHODIMP AttachRun(IV3TargetRun** run) override {
        return Call(run && *run ? "AttachRun" : "AttachRun Nothing");
    }
    STDMETHODIMP SetProgram(SAFEARRAY** array) override {
        LONG low = 0;
        LONG high = -1;
        SafeArrayGetLBound(*array, 1, &low);
        SafeArrayGetUBound(*array, 1, &high);
        program.clear();
        for (LONG i = low; i <= high; ++i) SafeArrayGetElement(*array, &i, &program.emplace_back());
        VARTYPE type = VT_EMPTY;
        SafeArrayGetVartype(*array, &type);
        return Call("SetProgram " + std::to_string(type));
    }

    std::vector<LONG> program;

private:
    HRESULT Number(const std::string& call, double value) { return Call(call + " " + NumberText(value)); }
};

class ModelList final : public HostObject<IV3ModelList> {
public:
    STDMETHODIMP SelectModel(LONG number) override { return Call("SelectModel " + std::to_string(number)); }
    STDMETHODIMP AddModel(IV3Model** model, BSTR* name, IDispatch** item) override {
        const HRESULT hr = CallHanding("AddModel '" + Narrow(*name) + "'", ComPtr<NotARun>(new NotARun), item);
        if (SUCCEEDED(hr)) added.push_back(*model);
        return hr;
    }

    std::vector<ComPtr<IV3Model>> added;
};

class TargetRun final : public HostObject<IV3TargetRun> {
public:
    STDMETHODIMP GetModels(IV3ModelList** out) override { return CallHanding("GetModels", models, out); }
    STDMETHODIMP GetSettings(IV3RunSettings** out) override { return CallHanding("GetSettings", settings_, out); }
    STDMETHODIMP SetKey(BSTR* key) override { return Call("SetKey " + Narrow(*key)); }
    STDMETHODIMP SetAuthor(BSTR* author) override { return Call("SetAuthor " + Narrow(*author)); }
    STDMETHODIMP SetComments(BSTR* comments) override { return Call("SetComments " + Narrow(*comments)); }
    STDMETHODIMP SetFunctionSet(IV3FunctionSet** set) override {
        const HRESULT hr = Call("SetFunctionSet");
        if (SUCCEEDED(hr)) functionSet = *set;
        return hr;
    }
    STDMETHODIMP PrepareDataSet(LONG which) override { return Call("PrepareDataSet " + std::to_string(which)); }
    STDMETHODIMP GetDataSet(LONG which, IV3DataSet** out) override {
        if (which != 1 && which != 2) return E_INVALIDARG;
        return CallHanding("GetDataSet " + std::to_string(which), dataSets_[which - 1], out);
    }

    ComPtr<IV3FunctionSet> functionSet;
    ComPtr<ModelList> models{new ModelList};

private:
    ComPtr<RunSettings> settings_{new RunSettings};
    ComPtr<DataSet> dataSets_[2]{new DataSet, new DataSet};
};

// The host's catalogue of native functions: name, arity, key, attr3, code and
// symbol by position, with every symbol of the bundled examples. The last one
// has no symbol, so nothing can select it.
inline constexpr const char* kCatalogue =
    "<FFnatives>"
    "<function name=\"Addition\" arity=\"2\" key=\"Add\" weight=\"4\" code=\"1\" symbol=\"+\">x+y</function>"
    "<function name=\"Subtraction\" arity=\"2\" key=\"Sub\" weight=\"4\" code=\"2\" symbol=\"-\">x-y</function>"
    "<function name=\"Multiplication\" arity=\"2\" key=\"Mul\" weight=\"4\" code=\"3\" symbol=\"*\">x*y</function>"
    "<function name=\"Division\" arity=\"2\" key=\"Div\" weight=\"1\" code=\"4\" symbol=\"/\">x/y</function>"
    "<function name=\"Power\" arity=\"2\" key=\"Pow\" weight=\"1\" code=\"6\" symbol=\"^\">x^y</function>"
    "<function name=\"Average\" arity=\"2\" key=\"Avg\" weight=\"1\" code=\"7\" symbol=\"G\">(x+y)/2</function>"
    "<function name=\"Root\" arity=\"1\" key=\"Sqrt\" weight=\"1\" code=\"8\" symbol=\"Q\">sqrt(x)</function>"
    "<function name=\"Exp\" arity=\"1\" key=\"ExpE\" weight=\"1\" code=\"9\" symbol=\"E\">e^x</function>"
    "<function name=\"Less\" arity=\"2\" key=\"LT\" weight=\"1\" code=\"10\" symbol=\"&lt;\">x&lt;y</function>"
    "<function name=\"Greater\" arity=\"2\" key=\"GT\" weight=\"1\" code=\"11\" symbol=\"&gt;\">x&gt;y</function>"
    "<function name=\"Exponential\" arity=\"1\" key=\"Exp\" weight=\"1\" code=\"5\">exp(x)</function>"
    "</FFnatives>";

class CatalogueSource final : public HostObject<IV3CatalogueSource> {
public:
    STDMETHODIMP Open() override { return Call("Open"); }
    STDMETHODIMP GetSection(BSTR name, IXMLDOMNode** section) override {
        HRESULT hr = Call("GetSection " + Narrow(name));
        ComPtr<IXMLDOMDocument> document;
        if (SUCCEEDED(hr)) {
            hr = CoCreateInstance(orv::com::kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                  &document);
        }
        if (FAILED(hr)) return hr;
        BSTR xml = Wide(kCatalogue);
        VARIANT_BOOL loaded = VARIANT_FALSE;
        document->loadXML(xml, &loaded);
        SysFreeString(xml);
        ComPtr<IXMLDOMElement> root;
        document->get_documentElement(&root);
        return root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(section));
    }
};

class FunctionSet final : public HostObject<IV3FunctionSet> {
public:
    ~FunctionSet() override { for (auto& entry : entries) Free(entry.second); }
    STDMETHODIMP Initialise(IXMLDOMDocument** document) override {
        BSTR xml = nullptr;
        (*document)->get_xml(&xml);
        initialXml = Take(xml);
        return Call("Initialise");
    }
    STDMETHODIMP Contains(BSTR key, VARIANT_BOOL* found) override {
        *found = entries.count(Narrow(key)) ? VARIANT_TRUE : VARIANT_FALSE;
        return Call("Contains " + Narrow(key));
    }
    STDMETHODIMP GetEntry(BSTR key, V3FunctionEntry* entry) override {
        *entry = Copy(entries.at(Narrow(key)));
        return Call("GetEntry " + Narrow(key));
    }
    STDMETHODIMP AddEntry(V3FunctionEntry* entry, LONG zero) override {
        order.push_back(Narrow(entry->key));
        Free(entries[order.back()]) = Copy(*entry);
        return Call("AddEntry " + order.back() + " " + std::to_string(zero));
    }
    STDMETHODIMP UpdateEntry(V3FunctionEntry* entry) override {
        Free(entries[Narrow(entry->key)]) = Copy(*entry);
        return Call("UpdateEntry " + Narrow(entry->key));
    }

    std::string initialXml;
    std::vector<std::string> order;  // keys in the order they were added
    std::map<std::string, V3FunctionEntry> entries;

private:
    static constexpr BSTR V3FunctionEntry::*kTexts[] = {&V3FunctionEntry::attr0, &V3FunctionEntry::key,
                                                         &V3FunctionEntry::content2, &V3FunctionEntry::content1,
                                                         &V3FunctionEntry::spare};
    static V3FunctionEntry& Free(V3FunctionEntry& e) {
        for (auto text : kTexts) SysFreeString(e.*text);
        return e = V3FunctionEntry{};
    }
    static V3FunctionEntry Copy(const V3FunctionEntry& from) {
        V3FunctionEntry to = from;
        for (auto text : kTexts) to.*text = SysAllocStringLen(from.*text, SysStringLen(from.*text));
        return to;
    }
};

class TempFileWriter final : public HostObject<IV3TempFileWriter> {
public:
    STDMETHODIMP WriteTempFile(BSTR* text, BSTR* path) override {
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
};

// The objects the server created through the registered host classes.
struct Created {
    std::vector<ComPtr<FunctionSet>> functionSets;
    std::vector<ComPtr<Model>> models;
};
inline Created g_created;

template <class T>
class Factory final : public StaticFactory {
protected:
    HRESULT Create(REFIID iid, void** out) override {
        ComPtr<T> object(new T);
        if constexpr (std::is_same_v<T, FunctionSet>) g_created.functionSets.push_back(object);
        if constexpr (std::is_same_v<T, Model>) g_created.models.push_back(object);
        return object->QueryInterface(iid, out);
    }
};

// Makes the host classes creatable in this process; revokes them on exit.
class HostClasses {
public:
    HostClasses() {
        Register<CatalogueSource>(orv::com::kClsidCatalogueSource);
        Register<FunctionSet>(orv::com::kClsidFunctionSet);
        Register<TempFileWriter>(orv::com::kClsidTempFileWriter);
        Register<Model>(orv::com::kClsidModel);
    }
    ~HostClasses() { for (DWORD cookie : cookies_) CoRevokeClassObject(cookie); }

private:
    template <class T>
    void Register(const CLSID& clsid) {
        static Factory<T> factory;
        CoRegisterClassObject(clsid, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookies_.emplace_back());
    }
    std::vector<DWORD> cookies_;
};

// The failure of a raised error number.
constexpr HRESULT Raised(unsigned number) { return static_cast<HRESULT>(0x800A0000u | number); }

// A file under the source folder, as Wine's Z: drive shows it.
inline std::filesystem::path SourcePath(const std::string& tail) {
    const char* root = std::getenv("ORV_SOURCE_DIR");
    return std::filesystem::path(std::string("Z:") + (root ? root : "") + "/" + tail).make_preferred();
}

inline ComPtr<_IConvertible> NewAdapter() {
    ComPtr<_IConvertible> adapter;
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_V2Adapter, nullptr, CLSCTX_INPROC_SERVER, IID__IConvertible, &adapter));
    return adapter;
}

// Convert with the path as its UTF-16 text; the caller's run reference stays its own.
inline HRESULT ConvertInto(_IConvertible* adapter, const std::filesystem::path& file, IDispatch* run) {
    BSTR text = SysAllocStringLen(file.c_str(), static_cast<UINT>(file.native().size()));
    IDispatch* given = run;
    const HRESULT hr = adapter->Convert(text, &given);
    SysFreeString(text);
    EXPECT_EQ(given, run) << "the caller's reference was replaced";
    return hr;
}

// Converts into a fresh recording run; every reference the server took must come back.
inline HRESULT ConvertFresh(_IConvertible* adapter, const std::filesystem::path& file) {
    ComPtr<TargetRun> run(new TargetRun);
    const HRESULT hr = ConvertInto(adapter, file, run.Get());
    EXPECT_EQ(run->References(), 1u) << "references to the run left behind";
    run.Reset();
    g_created = Created{};
    EXPECT_EQ(g_liveObjects, 0) << "host objects still referenced";
    return hr;
}

}  // namespace orvtest
