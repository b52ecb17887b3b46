// A recording host for the COM server: the host's version-3 objects as COM
// objects that log what reaches them, can refuse one named call the way a
// host would (HRESULT plus error information), and count their references.
#pragma once

#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "V3Host.h"

namespace orvtest {

using Microsoft::WRL::ComPtr;

struct SettingRow {
    std::string key;  // "section#name", or "=" for a value put without its key
    VARTYPE type;
    std::string value;
    std::int32_t typeCode;
};

struct LoadedDataSet {
    std::string content;
    std::int32_t separator;
    bool fieldNames;
    std::int32_t which;
};

struct Refusal {
    std::string call;  // e.g. "SetAuthor" or "LoadFromFile 2"
    HRESULT result;
    std::string description;  // empty: no error information
};

// What reached the host during one conversion.
struct HostLog {
    std::vector<std::string> calls;
    std::vector<SettingRow> settings;
    std::vector<LoadedDataSet> dataSets;
    std::optional<Refusal> refuse;
    ComPtr<IErrorInfo> raised;  // the error information of the refusal
    void Clear() { *this = HostLog{}; }
};
HostLog& Log();

// Host objects alive now; 0 once every reference was given back.
LONG& LiveObjects();

std::string Narrow(BSTR text);
std::string NumberText(double value);  // shortest form, "." as decimal mark
BSTR Wide(const std::string& text);

#define ORV_UNUSED(n) \
    HRESULT STDMETHODCALLTYPE Unused##n() override { return E_NOTIMPL; }

template <class I>
class HostObject : public I, public ISupportErrorInfo {
public:
    HostObject() { ++LiveObjects(); }
    virtual ~HostObject() { --LiveObjects(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, __uuidof(I)) && !IsEqualIID(iid, IID_IDispatch)) Log().calls.push_back("QueryInterface");
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, __uuidof(I))) {
            *out = static_cast<I*>(this);
        } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
            *out = static_cast<ISupportErrorInfo*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return IsEqualIID(iid, __uuidof(I)) ? S_OK : S_FALSE;
    }
    ULONG References() const { return references_; }

protected:
    // Logs the call; answers the planned refusal when it names this call.
    HRESULT Call(const std::string& call);

private:
    ULONG references_ = 0;
};

class DataSet;
class RunSettings;
class ModelList;

class TargetRun final : public HostObject<IV3TargetRun> {
public:
    TargetRun();
    HRESULT STDMETHODCALLTYPE GetModels(IV3ModelList** models) override;
    HRESULT STDMETHODCALLTYPE GetSettings(IV3RunSettings** settings) override;
    HRESULT STDMETHODCALLTYPE SetKey(BSTR* key) override { return Text("SetKey", key); }
    HRESULT STDMETHODCALLTYPE SetAuthor(BSTR* author) override { return Text("SetAuthor", author); }
    HRESULT STDMETHODCALLTYPE SetComments(BSTR* comments) override { return Text("SetComments", comments); }
    HRESULT STDMETHODCALLTYPE SetFunctionSet(IV3FunctionSet** functionSet) override;
    HRESULT STDMETHODCALLTYPE PrepareDataSet(LONG which) override {
        return Call("PrepareDataSet " + std::to_string(which));
    }
    HRESULT STDMETHODCALLTYPE GetDataSet(LONG which, IV3DataSet** dataSet) override;
    ORV_UNUSED(01) ORV_UNUSED(02) ORV_UNUSED(03) ORV_UNUSED(04) ORV_UNUSED(05) ORV_UNUSED(06) ORV_UNUSED(07)
    ORV_UNUSED(08) ORV_UNUSED(09) ORV_UNUSED(10) ORV_UNUSED(11) ORV_UNUSED(12) ORV_UNUSED(13) ORV_UNUSED(14)
    ORV_UNUSED(15) ORV_UNUSED(16) ORV_UNUSED(17) ORV_UNUSED(18) ORV_UNUSED(19) ORV_UNUSED(20) ORV_UNUSED(21)
    ORV_UNUSED(23) ORV_UNUSED(24) ORV_UNUSED(26) ORV_UNUSED(28) ORV_UNUSED(30) ORV_UNUSED(31) ORV_UNUSED(32)
    ORV_UNUSED(33) ORV_UNUSED(34) ORV_UNUSED(35) ORV_UNUSED(36) ORV_UNUSED(37) ORV_UNUSED(38) ORV_UNUSED(39)
    ORV_UNUSED(40) ORV_UNUSED(42) ORV_UNUSED(43)

    ComPtr<IV3FunctionSet> functionSet;
    ComPtr<ModelList> models;

private:
    HRESULT Text(const std::string& call, BSTR* text) {
        return text ? Call(call + " " + Narrow(*text)) : E_POINTER;
    }
    ComPtr<RunSettings> settings_;
    ComPtr<DataSet> dataSets_[2];
};

class RunSettings final : public HostObject<IV3RunSettings> {
public:
    HRESULT STDMETHODCALLTYPE PutValue(V3SettingValue* value) override;
    HRESULT STDMETHODCALLTYPE PutKeyedValue(V3KeyPair* key, V3SettingValue* value) override;
    HRESULT STDMETHODCALLTYPE CheckKey(BSTR* key, VARIANT_BOOL* known) override;
    ORV_UNUSED(00) ORV_UNUSED(01) ORV_UNUSED(02) ORV_UNUSED(04) ORV_UNUSED(05) ORV_UNUSED(06) ORV_UNUSED(07)
    ORV_UNUSED(08) ORV_UNUSED(09) ORV_UNUSED(10) ORV_UNUSED(11) ORV_UNUSED(12) ORV_UNUSED(13) ORV_UNUSED(14)
    ORV_UNUSED(15) ORV_UNUSED(16) ORV_UNUSED(17) ORV_UNUSED(18) ORV_UNUSED(20) ORV_UNUSED(21) ORV_UNUSED(22)
    ORV_UNUSED(23)
};

class DataSet final : public HostObject<IV3DataSet> {
public:
    HRESULT STDMETHODCALLTYPE LoadFromFile(BSTR* path, LONG separator, VARIANT_BOOL fieldNames, LONG which) override;
    HRESULT STDMETHODCALLTYPE SeparatorText(LONG separator, BSTR* text) override;
    ORV_UNUSED(00) ORV_UNUSED(01) ORV_UNUSED(02) ORV_UNUSED(03) ORV_UNUSED(04) ORV_UNUSED(05) ORV_UNUSED(06)
    ORV_UNUSED(07) ORV_UNUSED(09) ORV_UNUSED(10) ORV_UNUSED(11) ORV_UNUSED(12) ORV_UNUSED(13) ORV_UNUSED(14)
};

class Model final : public HostObject<IV3Model> {
public:
    HRESULT STDMETHODCALLTYPE GetNumber(LONG* number) override;
    HRESULT STDMETHODCALLTYPE SetFlagB(LONG* value) override { return Number("SetFlagB", *value); }
    HRESULT STDMETHODCALLTYPE SetFlagA(LONG* value) override { return Number("SetFlagA", *value); }
    HRESULT STDMETHODCALLTYPE SetTrainBestFitness(DOUBLE* v) override { return Number("TrainBestFitness", *v); }
    HRESULT STDMETHODCALLTYPE SetTestBestFitness(DOUBLE* v) override { return Number("TestBestFitness", *v); }
    HRESULT STDMETHODCALLTYPE SetTrainMaxFitness(DOUBLE* v) override { return Number("TrainMaxFitness", *v); }
    HRESULT STDMETHODCALLTYPE SetTestMaxFitness(DOUBLE* v) override { return Number("TestMaxFitness", *v); }
    HRESULT STDMETHODCALLTYPE SetTrainRSquare(DOUBLE* v) override { return Number("TrainRSquare", *v); }
    HRESULT STDMETHODCALLTYPE SetTestRSquare(DOUBLE* v) override { return Number("TestRSquare", *v); }
    HRESULT STDMETHODCALLTYPE AttachRun(IV3TargetRun** run) override;
    HRESULT STDMETHODCALLTYPE SetProgram(SAFEARRAY** program) override;
    ORV_UNUSED(00) ORV_UNUSED(01) ORV_UNUSED(02) ORV_UNUSED(05) ORV_UNUSED(07) ORV_UNUSED(09) ORV_UNUSED(11)
    ORV_UNUSED(13) ORV_UNUSED(15) ORV_UNUSED(17) ORV_UNUSED(19) ORV_UNUSED(20) ORV_UNUSED(21) ORV_UNUSED(22)
    ORV_UNUSED(23) ORV_UNUSED(24) ORV_UNUSED(25) ORV_UNUSED(26) ORV_UNUSED(27) ORV_UNUSED(28) ORV_UNUSED(29)
    ORV_UNUSED(30) ORV_UNUSED(31) ORV_UNUSED(32) ORV_UNUSED(34) ORV_UNUSED(35) ORV_UNUSED(36) ORV_UNUSED(37)

    std::vector<LONG> program;

private:
    HRESULT Number(const std::string& call, double value);
};

class ModelList final : public HostObject<IV3ModelList> {
public:
    HRESULT STDMETHODCALLTYPE SelectModel(LONG number) override { return Call("SelectModel " + std::to_string(number)); }
    HRESULT STDMETHODCALLTYPE AddModel(IV3Model** model, BSTR* name, IDispatch** item) override;
    ORV_UNUSED(00) ORV_UNUSED(01) ORV_UNUSED(02) ORV_UNUSED(03) ORV_UNUSED(04) ORV_UNUSED(05) ORV_UNUSED(06)
    ORV_UNUSED(07) ORV_UNUSED(08) ORV_UNUSED(10)

    std::vector<ComPtr<IV3Model>> added;
};

class CatalogueSource final : public HostObject<IV3CatalogueSource> {
public:
    HRESULT STDMETHODCALLTYPE Open() override { return Call("Open"); }
    HRESULT STDMETHODCALLTYPE GetSection(BSTR* name, IXMLDOMNode** section) override;
    ORV_UNUSED(01)
};

class FunctionSet final : public HostObject<IV3FunctionSet> {
public:
    ~FunctionSet() override;
    HRESULT STDMETHODCALLTYPE Initialise(IXMLDOMDocument** document) override;
    HRESULT STDMETHODCALLTYPE Contains(BSTR* key, VARIANT_BOOL* found) override;
    HRESULT STDMETHODCALLTYPE GetEntry(BSTR* key, V3FunctionEntry* entry) override;
    HRESULT STDMETHODCALLTYPE AddEntry(V3FunctionEntry* entry, LONG zero) override;
    HRESULT STDMETHODCALLTYPE UpdateEntry(V3FunctionEntry* entry) override;
    ORV_UNUSED(00) ORV_UNUSED(01) ORV_UNUSED(02) ORV_UNUSED(03) ORV_UNUSED(04) ORV_UNUSED(05) ORV_UNUSED(06)
    ORV_UNUSED(07) ORV_UNUSED(08) ORV_UNUSED(09) ORV_UNUSED(10) ORV_UNUSED(11) ORV_UNUSED(12) ORV_UNUSED(13)
    ORV_UNUSED(14) ORV_UNUSED(15) ORV_UNUSED(16) ORV_UNUSED(17) ORV_UNUSED(18) ORV_UNUSED(19) ORV_UNUSED(20)
    ORV_UNUSED(21) ORV_UNUSED(22) ORV_UNUSED(23) ORV_UNUSED(25) ORV_UNUSED(26) ORV_UNUSED(28) ORV_UNUSED(29)
    ORV_UNUSED(30) ORV_UNUSED(31) ORV_UNUSED(32) ORV_UNUSED(34) ORV_UNUSED(35) ORV_UNUSED(36) ORV_UNUSED(37)

    std::string initialXml;
    std::vector<std::string> order;          // keys in the order they were added
    std::map<std::string, V3FunctionEntry> entries;
};

class TempFileWriter final : public HostObject<IV3TempFileWriter> {
public:
    HRESULT STDMETHODCALLTYPE WriteTempFile(BSTR* text, BSTR* path) override;
    ORV_UNUSED(00) ORV_UNUSED(01) ORV_UNUSED(02) ORV_UNUSED(03) ORV_UNUSED(04) ORV_UNUSED(05)
};

// An object without the target run interface.
class NotARun final : public HostObject<IDispatch> {};

// The objects the server created through the registered host classes.
struct Created {
    std::vector<ComPtr<FunctionSet>> functionSets;
    std::vector<ComPtr<Model>> models;
};
Created& CreatedObjects();

// Makes the host classes creatable in this process; revokes them on exit.
class HostClasses {
public:
    HostClasses();
    ~HostClasses();

private:
    std::vector<DWORD> cookies_;
};

}  // namespace orvtest
