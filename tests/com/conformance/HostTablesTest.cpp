// A host written from the interface tables alone, with no header generated
// from our IDL. Its objects get vtables built at run time from the rows
// below: a row's slot checks every argument in the shape the row gives
// before the host uses it, and every slot that no row names traps. So a
// method moved by one slot, or a text passed as BSTR* where the row says
// BSTR (or the reverse), fails here against the DLL as built.
#include <gtest/gtest.h>

#include <windows.h>
#include <msxml2.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "../StaticFactory.h"

// The converter's interface; outside the unnamed namespace, as the compiler
// would otherwise take the missing implementation for the only one.
struct Convertible : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Convert(BSTR path, IDispatch** run) = 0;
};

namespace {

// ---- The tables ------------------------------------------------------------

// How an argument travels. Everything without "Ref" passes by value.
enum class Arg { Text, TextRef, Long, LongRef, Bool, DoubleRef, ObjectRef, SettingRef, KeyPairRef, EntryRef, ArrayRef };
// What the [out, retval] receives.
enum class Out { None, Object, Bool, Text, Long, Entry };
enum Itf { Run, Settings, DataSet, ModelList, Model, Catalogue, FunctionSet, TempWriter, Item, XmlDocument, kItfs };

struct Param {
    Arg arg;
    Itf object = kItfs;  // ObjectRef: the interface the object must offer
};
struct Row {
    int position;  // after the seven IUnknown and IDispatch slots
    const char* operation;
    std::vector<Param> params;
    Out out = Out::None;
    Itf outObject = kItfs;
};
struct Interface {
    const char* name;
    GUID iid;
    std::vector<Row> rows;
};

const Param kText{Arg::Text}, kTextRef{Arg::TextRef}, kLong{Arg::Long}, kDoubleRef{Arg::DoubleRef};

const std::array<Interface, kItfs> kTables{{
    {"target run", {0xCC0CB457, 0x1B59, 0x42CB, {0xBF, 0x07, 0x3F, 0xEF, 0xB4, 0xE0, 0xBA, 0x69}},
     {{0, "GetModels", {}, Out::Object, ModelList},
      {22, "GetSettings", {}, Out::Object, Settings},
      {25, "SetKey", {kTextRef}},
      {27, "SetAuthor", {kTextRef}},
      {29, "SetComments", {kTextRef}},
      {41, "SetFunctionSet", {{Arg::ObjectRef, FunctionSet}}},
      {44, "PrepareDataSet", {kLong}},
      {45, "GetDataSet", {kLong}, Out::Object, DataSet}}},
    {"settings", {0xE2E3CE23, 0x2122, 0x4A3C, {0xB2, 0x35, 0x3A, 0x60, 0x5A, 0x37, 0x22, 0x69}},
     {{3, "PutValue", {{Arg::SettingRef}}},
      {19, "PutKeyedValue", {{Arg::KeyPairRef}, {Arg::SettingRef}}},
      {24, "CheckKey", {kText}, Out::Bool}}},
    {"data set", {0xB81431A3, 0x8CAC, 0x4513, {0x8E, 0x1D, 0xB0, 0x95, 0xB5, 0xC4, 0x32, 0xDB}},
     {{8, "LoadFromFile", {kText, kLong, {Arg::Bool}, kLong}},
      {15, "SeparatorText", {kLong}, Out::Text}}},
    {"model list", {0x39BB7367, 0xC9B0, 0x4F72, {0xAF, 0xF5, 0xAA, 0x43, 0x9E, 0x69, 0xCF, 0x6F}},
     {{9, "SelectModel", {kLong}},
      {11, "AddModel", {{Arg::ObjectRef, Model}, kTextRef}, Out::Object, Item}}},
    {"model", {0x66191F9E, 0x475D, 0x4E61, {0x87, 0xA4, 0x1D, 0xFC, 0x83, 0x1A, 0x32, 0x25}},
     {{33, "AttachRun", {{Arg::ObjectRef, Run}}},
      {6, "SetFlagA", {{Arg::LongRef}}},
      {38, "SetProgram", {{Arg::ArrayRef}}},
      {4, "SetFlagB", {{Arg::LongRef}}},
      {8, "statistic BestFitnessRun", {kDoubleRef}},
      {16, "statistic rsQuareRun", {kDoubleRef}},
      {12, "statistic MaxFitnessRun", {kDoubleRef}},
      {10, "statistic BestFitnessVal", {kDoubleRef}},
      {18, "statistic RsquareVal", {kDoubleRef}},
      {14, "statistic MaxFitnessVal", {kDoubleRef}},
      {3, "GetNumber", {}, Out::Long}}},
    {"catalogue source", {0xA26880A2, 0x7831, 0x4357, {0x82, 0x27, 0xD1, 0x75, 0x9A, 0xD9, 0xB4, 0x6D}},
     {{0, "Open", {}},
      {2, "GetSection", {kText}, Out::Object}}},  // an XML node of the platform's DOM
    {"function set", {0xD0B46660, 0xCC4A, 0x4068, {0xAE, 0xD4, 0x75, 0x46, 0xA9, 0x38, 0x8D, 0x5E}},
     {{24, "Initialise", {{Arg::ObjectRef, XmlDocument}}},
      {27, "Contains", {kText}, Out::Bool},
      {33, "GetEntry", {kText}, Out::Entry},
      {38, "AddEntry", {{Arg::EntryRef}, kLong}},
      {39, "UpdateEntry", {{Arg::EntryRef}}}}},
    {"temporary-file writer", {0x86DA490E, 0x26B7, 0x4C27, {0x9E, 0xBF, 0xE9, 0x53, 0xA6, 0xF0, 0x88, 0x91}},
     {{6, "WriteTempFile", {kTextRef}, Out::Text}}},
    {"item", IID_IDispatch, {}},
    {"XML document", IID_IXMLDOMDocument, {}},
}};

// The host classes the DLL creates, and the records, as the tables give them.
const std::pair<Itf, CLSID> kClasses[] = {
    {Catalogue, {0xE5B574A8, 0x459E, 0x4F84, {0xBF, 0x56, 0x8F, 0xBA, 0x35, 0x3B, 0x1C, 0xC6}}},
    {FunctionSet, {0x9EAD546B, 0xA9F5, 0x4EBA, {0xA2, 0x89, 0xE5, 0x89, 0x06, 0xA2, 0x2A, 0xAC}}},
    {TempWriter, {0x984848EA, 0xA1D8, 0x4BDA, {0xBE, 0x54, 0x13, 0xE8, 0xB2, 0x76, 0x99, 0x8C}}},
    {Model, {0xE7970AB4, 0x1E19, 0x460A, {0x94, 0xAA, 0x63, 0x77, 0x37, 0x33, 0xD1, 0x44}}},
};
struct SettingValue { VARIANT value; LONG typeCode; };
struct KeyPair { BSTR section, name; };
struct Entry {
    LONG code, count, attr3, reserved1;
    VARIANT_BOOL selected;
    SHORT reserved2;
    BSTR texts[5];  // attr0, key, content2, content1, spare
};

// The converter's own entry: Convert(path by value, run by reference).
const CLSID kAdapter = {0xC33C13BF, 0x6EFC, 0x4FC4, {0x88, 0x43, 0x7A, 0x2D, 0xD9, 0xDE, 0xCE, 0x66}};
const IID kConvertible = {0x55320218, 0x67D8, 0x42A2, {0xB9, 0xB8, 0x29, 0xA6, 0x81, 0xB4, 0x39, 0x41}};

// ---- Checking what arrives -------------------------------------------------

struct Log {
    std::vector<std::string> faults;  // argument shapes, trapped slots, refused contents
    std::set<std::string> rowsCalled;
    int live = 0;
} g_log;

bool Readable(const void* at, std::size_t bytes) {
    auto from = reinterpret_cast<std::uintptr_t>(at);
    const std::uintptr_t end = from + bytes;
    if (!at || end < from) return false;
    while (from < end) {
        MEMORY_BASIC_INFORMATION m{};
        if (!VirtualQuery(reinterpret_cast<const void*>(from), &m, sizeof m) || m.State != MEM_COMMIT ||
            (m.Protect & (PAGE_NOACCESS | PAGE_GUARD)) || m.Protect == 0)
            return false;
        from = reinterpret_cast<std::uintptr_t>(m.BaseAddress) + m.RegionSize;
    }
    return true;
}

// A BSTR: length prefix, even byte count, terminating zero (null is empty).
bool IsText(BSTR text) {
    if (!text) return true;
    const char* bytes = reinterpret_cast<const char*>(text);
    UINT length = 0;
    if (!Readable(bytes - 4, 4)) return false;
    std::memcpy(&length, bytes - 4, 4);
    return length % 2 == 0 && length < (1u << 24) && Readable(text, length + 2) && text[length / 2] == 0;
}
template <class T>
bool Points(std::uintptr_t word) { return Readable(reinterpret_cast<const void*>(word), sizeof(T)); }
template <class T>
T& At(std::uintptr_t word) { return *reinterpret_cast<T*>(word); }

bool Offers(IUnknown* object, Itf itf) {
    IUnknown* found = nullptr;
    if (!object || FAILED(object->QueryInterface(kTables[itf].iid, reinterpret_cast<void**>(&found)))) return false;
    found->Release();
    return true;
}

bool IsSetting(const SettingValue& s) {
    const VARTYPE vt = s.value.vt;
    return (vt == VT_I4 || vt == VT_I2 || vt == VT_R8 || (vt == VT_BSTR && IsText(s.value.bstrVal))) &&
           (s.typeCode == 2 || s.typeCode == 3 || s.typeCode == 5 || s.typeCode == 8);
}
bool IsEntry(const Entry& e) {
    for (BSTR t : e.texts)
        if (!IsText(t)) return false;
    return e.selected == VARIANT_TRUE;
}
bool IsProgram(SAFEARRAY* a) {
    VARTYPE vt = VT_EMPTY;
    LONG low = -1;
    return Points<SAFEARRAY>(reinterpret_cast<std::uintptr_t>(a)) && SafeArrayGetDim(a) == 1 &&
           SUCCEEDED(SafeArrayGetVartype(a, &vt)) && vt == VT_I4 && SUCCEEDED(SafeArrayGetLBound(a, 1, &low)) &&
           low == 0;
}

// One argument as the host reads it: its text, number, or pointer.
struct Value {
    std::wstring text;
    std::int32_t number = 0;
    std::uintptr_t word = 0;
};

bool Decode(const Param& p, std::uintptr_t w, Value& v) {
    v.word = w;
    switch (p.arg) {
    case Arg::Text:
        if (!IsText(reinterpret_cast<BSTR>(w))) return false;
        v.text.assign(reinterpret_cast<BSTR>(w), SysStringLen(reinterpret_cast<BSTR>(w)));
        return true;
    case Arg::TextRef:
        return Points<BSTR>(w) && Decode(kText, reinterpret_cast<std::uintptr_t>(At<BSTR>(w)), v);
    case Arg::Long: v.number = static_cast<std::int32_t>(static_cast<std::uint32_t>(w)); return true;
    case Arg::Bool:
        v.number = static_cast<std::int16_t>(static_cast<std::uint16_t>(w & 0xFFFF));
        return v.number == VARIANT_TRUE || v.number == VARIANT_FALSE;
    case Arg::LongRef: return Points<LONG>(w) && (v.number = At<LONG>(w), true);
    case Arg::DoubleRef: return Points<double>(w);
    case Arg::ObjectRef:
        return Points<IUnknown*>(w) && Points<void*>(At<std::uintptr_t>(w)) && Offers(At<IUnknown*>(w), p.object);
    case Arg::SettingRef: return Points<SettingValue>(w) && IsSetting(At<SettingValue>(w));
    case Arg::KeyPairRef: return Points<KeyPair>(w) && IsText(At<KeyPair>(w).section) && IsText(At<KeyPair>(w).name);
    case Arg::EntryRef: return Points<Entry>(w) && IsEntry(At<Entry>(w));
    case Arg::ArrayRef: return Points<SAFEARRAY*>(w) && IsProgram(At<SAFEARRAY*>(w));
    }
    return false;
}

// ---- Host objects with table-built vtables ---------------------------------

using Slot = void (*)();
constexpr int kSlots = 64;  // past the highest position of every table
class HostObject;
struct Face {
    const Slot* vtable;
    HostObject* self;
};

std::string Utf8(const std::wstring& w) {
    const int n = static_cast<int>(w.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), n, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    return out;
}

const Slot* VtableOf(Itf itf);

class HostObject {
public:
    explicit HostObject(Itf itf) : face_{VtableOf(itf), this}, itf_(itf) { ++g_log.live; }
    ~HostObject() {
        for (auto& [key, entry] : entries_)
            for (BSTR t : entry.texts) SysFreeString(t);
        for (auto& [kind, child] : children_) child->Release();
        --g_log.live;
    }
    IUnknown* Unknown() { return reinterpret_cast<IUnknown*>(&face_); }
    ULONG AddRef() { return static_cast<ULONG>(++references_); }
    ULONG Release() {
        const LONG left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT QueryInterface(REFIID iid, void** out) {
        const bool ours =
            IsEqualIID(iid, kTables[itf_].iid) || IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch);
        *out = ours ? Unknown() : nullptr;
        if (ours) AddRef();
        return ours ? S_OK : E_NOINTERFACE;
    }

    // A call at slot (position + 7) with its argument words.
    HRESULT Call(int slot, std::vector<std::uintptr_t> words) {
        const Interface& table = kTables[itf_];
        const std::string where = std::string(table.name) + " position " + std::to_string(slot - 7);
        for (const Row& row : table.rows) {
            if (row.position != slot - 7) continue;
            g_log.rowsCalled.insert(std::string(table.name) + "." + row.operation);
            std::vector<Value> in(row.params.size());
            for (std::size_t i = 0; i < row.params.size(); ++i) {
                if (!Decode(row.params[i], words[i], in[i])) {
                    g_log.faults.push_back(where + " " + row.operation + ": argument " + std::to_string(i + 1) +
                                           " not in its row's shape");
                    return E_INVALIDARG;
                }
            }
            const std::uintptr_t out = row.out == Out::None ? 0 : words.back();
            if (row.out != Out::None && !Points<void*>(out)) return E_POINTER;
            return Serve(row, in, out);
        }
        g_log.faults.push_back(where + ": no row has this slot");
        return E_NOTIMPL;
    }

private:
    HRESULT Refuse(const std::string& why) {
        g_log.faults.push_back(why);
        return E_INVALIDARG;
    }
    // One object of each kind (and data set number) per parent; a new item for each model added.
    HRESULT Hand(Itf itf, int which, std::uintptr_t out) {
        HostObject*& child = children_[{itf, which}];
        if (!child) child = new HostObject(itf);
        At<IUnknown*>(out) = child->Unknown();
        child->AddRef();
        return S_OK;
    }
    HRESULT Serve(const Row& row, const std::vector<Value>& in, std::uintptr_t out);

    Face face_;
    Itf itf_;
    LONG references_ = 1;
    std::map<std::pair<Itf, int>, HostObject*> children_;
    std::map<std::wstring, Entry> entries_;
};

// The native functions: one symbol each, code n and key Kn for the nth. The
// converter reads the attributes by position (name, group, key, weight, code,
// symbol).
std::wstring CatalogueXml() {
    std::wstring xml = L"<FFnatives>";
    int n = 0;
    for (const wchar_t* symbol : {L"+", L"-", L"*", L"/", L"^", L"G", L"Q", L"E", L"L", L"S", L"C", L"T", L"m", L"M",
                                  L"A", L"&lt;", L"&gt;", L"w", L"W"}) {
        const std::wstring i = std::to_wstring(++n);
        xml += L"<function name='F" + i + L"' group='g' key='K" + i + L"' weight='1' code='" + i + L"' symbol='" +
               symbol + L"'>f" + i + L"</function>";
    }
    return xml + L"</FFnatives>";
}

Entry CopyOf(const Entry& from) {
    Entry to = from;
    for (BSTR& t : to.texts) t = SysAllocStringLen(t, SysStringLen(t));
    return to;
}

HRESULT HostObject::Serve(const Row& row, const std::vector<Value>& in, std::uintptr_t out) {
    const std::string op = row.operation;
    if (row.out == Out::Object && row.outObject != kItfs) {
        const int which = op == "GetDataSet" ? in[0].number : op == "AddModel" ? static_cast<int>(children_.size()) : 0;
        if (op == "GetDataSet" && which != 1 && which != 2) return Refuse("GetDataSet " + std::to_string(which));
        return Hand(row.outObject, which, out);
    }
    if (op == "GetNumber") return At<LONG>(out) = 1, S_OK;
    if (op == "CheckKey") {
        if (in[0].text.find(L'#') == std::wstring::npos) return Refuse("CheckKey " + Utf8(in[0].text));
        At<VARIANT_BOOL>(out) = in[0].text == L"run_status#Generation" ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (op == "SeparatorText") {
        static const wchar_t* const kSeparators[] = {L" ", L"\t", L",", L";"};
        if (in[0].number < 0 || in[0].number > 3) return Refuse("SeparatorText " + std::to_string(in[0].number));
        At<BSTR>(out) = SysAllocString(kSeparators[in[0].number]);
    } else if (op == "LoadFromFile") {
        // The file goes away when the call returns: read it now.
        std::ifstream file(std::filesystem::path(in[0].text), std::ios::binary);
        const std::string content{std::istreambuf_iterator<char>(file), {}};
        if (content.empty() || in[3].number < 1 || in[3].number > 2) return Refuse("LoadFromFile " + Utf8(in[0].text));
    } else if (op == "WriteTempFile") {
        wchar_t folder[MAX_PATH] = {}, name[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"tbl", 0, name);
        std::ofstream(std::filesystem::path(name), std::ios::binary) << Utf8(in[0].text);
        At<BSTR>(out) = SysAllocString(name);
    } else if (op == "GetSection") {
        if (in[0].text != L"FFnatives") return Refuse("GetSection " + Utf8(in[0].text));
        IXMLDOMDocument* document = nullptr;
        IXMLDOMElement* root = nullptr;
        const CLSID domDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
        HRESULT hr = CoCreateInstance(domDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                      reinterpret_cast<void**>(&document));
        if (FAILED(hr)) return hr;
        BSTR xml = SysAllocString(CatalogueXml().c_str());
        VARIANT_BOOL loaded = VARIANT_FALSE;
        document->loadXML(xml, &loaded);
        SysFreeString(xml);
        hr = document->get_documentElement(&root);
        if (SUCCEEDED(hr) && root) {
            hr = root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(out));
            root->Release();
        }
        document->Release();
        return hr;
    } else if (op == "Contains" || op == "GetEntry") {
        const auto found = entries_.find(in[0].text);
        if (op == "Contains") At<VARIANT_BOOL>(out) = found != entries_.end() ? VARIANT_TRUE : VARIANT_FALSE;
        else if (found == entries_.end()) return Refuse("GetEntry " + Utf8(in[0].text));
        else At<Entry>(out) = CopyOf(found->second);
    } else if (op == "AddEntry" || op == "UpdateEntry") {
        const Entry& given = At<Entry>(in[0].word);
        Entry& kept = entries_[std::wstring(given.texts[1], SysStringLen(given.texts[1]))];
        for (BSTR t : kept.texts) SysFreeString(t);
        kept = CopyOf(given);
    }
    return S_OK;
}

// ---- Vtables from the tables -----------------------------------------------

HostObject& Self(void* face) { return *static_cast<Face*>(face)->self; }
using W = std::uintptr_t;
template <int S, class... A> HRESULT STDMETHODCALLTYPE CallAt(void* f, A... a) { return Self(f).Call(S, {a...}); }

template <int S>
std::array<Slot, 5> CallsAt() {
    return {reinterpret_cast<Slot>(&CallAt<S>), reinterpret_cast<Slot>(&CallAt<S, W>),
            reinterpret_cast<Slot>(&CallAt<S, W, W>), reinterpret_cast<Slot>(&CallAt<S, W, W, W>),
            reinterpret_cast<Slot>(&CallAt<S, W, W, W, W>)};
}
// For each slot, its call by argument count.
template <std::size_t... S>
auto Entries(std::index_sequence<S...>) {
    return std::array<std::array<Slot, 5>, sizeof...(S)>{CallsAt<S>()...};
}

HRESULT STDMETHODCALLTYPE Query(void* f, REFIID iid, void** out) { return Self(f).QueryInterface(iid, out); }
ULONG STDMETHODCALLTYPE AddRef(void* f) { return Self(f).AddRef(); }
ULONG STDMETHODCALLTYPE Release(void* f) { return Self(f).Release(); }
HRESULT STDMETHODCALLTYPE NoTypeInfoCount(void*, UINT*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE NoTypeInfo(void*, UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE NoNames(void*, REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE NoInvoke(void*, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

const Slot* VtableOf(Itf itf) {
    static const auto calls = Entries(std::make_index_sequence<7 + kSlots>());
    static const auto vtables = [] {
        std::array<std::array<Slot, 7 + kSlots>, kItfs> all{};
        for (int i = 0; i < kItfs; ++i) {
            auto& v = all[static_cast<std::size_t>(i)];
            v = {reinterpret_cast<Slot>(&Query), reinterpret_cast<Slot>(&AddRef), reinterpret_cast<Slot>(&Release),
                 reinterpret_cast<Slot>(&NoTypeInfoCount), reinterpret_cast<Slot>(&NoTypeInfo),
                 reinterpret_cast<Slot>(&NoNames), reinterpret_cast<Slot>(&NoInvoke)};
            for (std::size_t s = 7; s < v.size(); ++s) v[s] = calls[s][0];  // a trap unless a row names it
            for (const Row& row : kTables[static_cast<std::size_t>(i)].rows) {
                const std::size_t s = static_cast<std::size_t>(7 + row.position);
                v[s] = calls[s][row.params.size() + (row.out == Out::None ? 0 : 1)];
            }
        }
        return all;
    }();
    return vtables[itf].data();
}

class Factory final : public StaticFactory {
public:
    explicit Factory(Itf itf) : itf_(itf) {}

protected:
    HRESULT Create(REFIID iid, void** out) override {
        auto* object = new HostObject(itf_);
        const HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }

private:
    Itf itf_;
};

// ---- The test ----------------------------------------------------------------

std::wstring SourcePath(const std::string& tail) {
    const char* root = std::getenv("ORV_SOURCE_DIR");
    std::string path = std::string("Z:") + (root ? root : "") + "/" + tail;
    for (char& c : path) c = c == '/' ? '\\' : c;
    return std::wstring(path.begin(), path.end());
}

// The description of the error the call raised, if any.
std::string ErrorText() {
    IErrorInfo* info = nullptr;
    BSTR text = nullptr;
    if (GetErrorInfo(0, &info) != S_OK) return {};
    info->GetDescription(&text);
    info->Release();
    const std::string description = Utf8(std::wstring(text, SysStringLen(text)));
    SysFreeString(text);
    return description;
}

TEST(HostTables, ConvertsEveryRunWithEachArgumentInItsRowsShape) {
    const auto getClass = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("ORVConverter.dll"), "DllGetClassObject")));
    ASSERT_TRUE(getClass);
    IClassFactory* adapters = nullptr;
    ASSERT_HRESULT_SUCCEEDED(getClass(kAdapter, IID_IClassFactory, reinterpret_cast<void**>(&adapters)));

    std::vector<std::filesystem::path> runs{SourcePath("tests/com/data/sample.kvr")};  // repeats a symbol
    for (const auto& entry : std::filesystem::directory_iterator(SourcePath("tests/data/hand-written")))
        if (entry.path().extension() == ".kvr") runs.push_back(entry.path());
    ASSERT_GT(runs.size(), 1u);
    for (const auto& path : runs) {
        SCOPED_TRACE(path.string());
        Convertible* adapter = nullptr;
        ASSERT_HRESULT_SUCCEEDED(adapters->CreateInstance(nullptr, kConvertible, reinterpret_cast<void**>(&adapter)));
        auto* run = new HostObject(Itf::Run);
        IDispatch* given = reinterpret_cast<IDispatch*>(run->Unknown());
        BSTR text = SysAllocString(path.wstring().c_str());
        const HRESULT hr = adapter->Convert(text, &given);
        SysFreeString(text);
        EXPECT_EQ(hr, S_OK) << ErrorText();
        adapter->Release();
        run->Release();
        EXPECT_EQ(g_log.live, 0) << "host objects still referenced";
    }
    adapters->Release();

    EXPECT_EQ(g_log.faults, std::vector<std::string>{});
    std::vector<std::string> neverCalled;
    for (const Interface& table : kTables)
        for (const Row& row : table.rows)
            if (!g_log.rowsCalled.count(std::string(table.name) + "." + row.operation))
                neverCalled.push_back(std::string(table.name) + "." + row.operation);
    EXPECT_EQ(neverCalled, std::vector<std::string>{}) << "every row is tried";
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::vector<std::pair<Factory*, DWORD>> registered;
    for (const auto& [itf, clsid] : kClasses) {
        auto* factory = new Factory(itf);
        registered.emplace_back(factory, 0);
        CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &registered.back().second);
    }
    const int result = RUN_ALL_TESTS();
    for (auto& [factory, cookie] : registered) {
        CoRevokeClassObject(cookie);
        delete factory;
    }
    CoUninitialize();
    return result;
}
