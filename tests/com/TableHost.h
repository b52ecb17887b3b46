// The host every Windows test converts into, written from the interface
// tables alone (data/host-tables.txt) with no header generated from our IDL.
// Its objects get vtables built at run time from the rows: a row's slot
// checks every argument in the shape the row gives before the host uses it,
// and every slot no row names traps. So a method moved by one slot, or a text
// passed as BSTR* where the row says BSTR (or the reverse), is a fault here
// against the DLL as built. Each call is logged as one line of text; the
// host can refuse one call, counted from 1, the way a host would (HRESULT
// plus error information), and counts its live objects.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tablehost {

// ---- The tables, read from their data file ----------------------------------

// Shapes of arguments and results, in the order of their names in the data file.
enum class Arg { Text, TextRef, Long, LongRef, Bool, DoubleRef, Object, Setting, KeyPair, Entry, Array, None };
struct Param {
    Arg arg = Arg::None;
    int object = -1;  // Object: the interface the object must offer
};
struct Row {
    int position;
    std::string operation;
    std::vector<Param> params;
    Param out;
};
struct Interface {
    std::string name;
    GUID iid;
    std::vector<Row> rows;
};
struct Tables {
    std::vector<Interface> interfaces;
    std::vector<std::pair<int, CLSID>> classes;
    int Index(const std::string& name) const {
        for (std::size_t i = 0; i < interfaces.size(); ++i)
            if (interfaces[i].name == name) return static_cast<int>(i);
        throw std::runtime_error("no interface " + name);
    }
};

// A file under the source folder, as Wine's Z: drive shows it.
inline std::filesystem::path SourcePath(const std::string& tail) {
    const char* root = std::getenv("ORV_SOURCE_DIR");
    return std::filesystem::path(std::string("Z:") + (root ? root : "") + "/" + tail).make_preferred();
}

inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline GUID ParseGuid(const std::string& text) {
    GUID guid{};
    const std::wstring wide(text.begin(), text.end());
    EXPECT_HRESULT_SUCCEEDED(CLSIDFromString(wide.c_str(), &guid)) << text;
    return guid;
}

inline const Tables& TheTables() {
    static const Tables tables = [] {
        std::vector<std::vector<std::string>> lines;
        std::istringstream in(ReadFile(SourcePath("tests/com/data/host-tables.txt")));
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            lines.emplace_back(std::istream_iterator<std::string>(words), std::istream_iterator<std::string>());
        }
        Tables t;  // interfaces first: rows name those that come later
        for (const auto& w : lines)
            if (w.size() > 2 && w[0] == "interface") t.interfaces.push_back({w[1], ParseGuid(w[2]), {}});
        const auto shape = [&t](const std::string& word) {
            static const std::vector<std::string> kNames = {"Text",   "TextRef", "Long",    "LongRef", "Bool", "DoubleRef",
                                                            "Object", "Setting", "KeyPair", "Entry",   "Array"};
            const auto colon = word.find(':');
            const auto at = std::find(kNames.begin(), kNames.end(), word.substr(0, colon));
            if (at == kNames.end()) throw std::runtime_error("no shape " + word);
            return Param{static_cast<Arg>(at - kNames.begin()), colon == std::string::npos ? -1 : t.Index(word.substr(colon + 1))};
        };
        int itf = -1;
        for (const auto& w : lines) {
            if (w.empty() || w[0][0] == '#') continue;
            if (w[0] == "interface") ++itf;
            else if (w[0] == "class") t.classes.emplace_back(t.Index(w[1]), ParseGuid(w[2]));
            else {
                Row& row = t.interfaces[static_cast<std::size_t>(itf)].rows.emplace_back(Row{std::stoi(w[0]), w[1], {}, {}});
                for (std::size_t i = 2; i < w.size(); ++i)
                    if (w[i] == "->") row.out = shape(w.at(++i));
                    else row.params.push_back(shape(w[i]));
            }
        }
        return t;
    }();
    return tables;
}

// ---- What the host saw -------------------------------------------------------

struct Log {
    std::vector<std::string> calls;   // "Operation argument..." per call that reached a row
    std::vector<std::string> faults;  // argument shapes, trapped slots, refused contents
    std::set<std::string> rowsCalled;
    int live = 0;                     // host objects alive now
    // The call to refuse (from 1; 0: none), with this result and, unless
    // null, error information with this description.
    std::size_t refuseAt = 0;
    HRESULT refusal = E_FAIL;
    const wchar_t* refusalText = nullptr;
    Microsoft::WRL::ComPtr<IErrorInfo> raised;  // the error information of the refusal
};
inline Log g_log;

// Starts a fresh log; live objects are left to count.
inline void ResetLog() {
    Log fresh;
    fresh.live = g_log.live;
    g_log = std::move(fresh);
}

inline bool Readable(const void* at, std::size_t bytes) {
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
inline bool IsText(BSTR text) {
    if (!text) return true;
    const char* bytes = reinterpret_cast<const char*>(text);
    UINT length = 0;
    if (!Readable(bytes - 4, 4)) return false;
    std::memcpy(&length, bytes - 4, 4);
    return length % 2 == 0 && length < (1u << 30) && Readable(text, length + 2) && text[length / 2] == 0;
}
template <class T>
bool Points(std::uintptr_t word) { return Readable(reinterpret_cast<const void*>(word), sizeof(T)); }
template <class T>
T& At(std::uintptr_t word) { return *reinterpret_cast<T*>(word); }

inline std::string Utf8(const wchar_t* w, std::size_t n) {
    const int size = static_cast<int>(n);
    std::string out(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, w, size, nullptr, 0, nullptr, nullptr)), 0);
    WideCharToMultiByte(CP_UTF8, 0, w, size, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    return out;
}
// A text for the log: line ends shown as \r and \n.
inline std::string Shown(BSTR text) {
    std::string out;
    for (char c : Utf8(text, SysStringLen(text))) out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    return out;
}

struct SettingValue { VARIANT value; LONG typeCode; };
struct KeyPair { BSTR section, name; };
struct Entry {
    LONG code, count, attr3, reserved1;
    VARIANT_BOOL selected;
    SHORT reserved2;
    BSTR texts[5];  // attr0, key, content2, content1, spare
};

inline bool Offers(IUnknown* object, int itf) {
    Microsoft::WRL::ComPtr<IUnknown> found;
    return object && SUCCEEDED(object->QueryInterface(TheTables().interfaces[static_cast<std::size_t>(itf)].iid, &found));
}

// One argument as the host reads it: its text in the log, its number, its word.
struct Value {
    std::string text;
    BSTR bstr = nullptr;
    std::int32_t number = 0;
    std::uintptr_t word = 0;
};

inline bool Decode(const Param& p, std::uintptr_t w, Value& v) {
    v.word = w;
    switch (p.arg) {
    case Arg::Text:
        if (!IsText(reinterpret_cast<BSTR>(w))) return false;
        v.bstr = reinterpret_cast<BSTR>(w);
        v.text = Shown(v.bstr);
        return true;
    case Arg::TextRef: return Points<BSTR>(w) && Decode({Arg::Text}, reinterpret_cast<std::uintptr_t>(At<BSTR>(w)), v);
    case Arg::Long: v.number = static_cast<std::int32_t>(static_cast<std::uint32_t>(w)); break;
    case Arg::Bool:
        v.number = static_cast<std::int16_t>(static_cast<std::uint16_t>(w & 0xFFFF));
        if (v.number != VARIANT_TRUE && v.number != VARIANT_FALSE) return false;
        break;
    case Arg::LongRef:
        if (!Points<LONG>(w)) return false;
        v.number = At<LONG>(w);
        break;
    case Arg::DoubleRef: {
        char text[32];
        if (!Points<double>(w)) return false;
        v.text.assign(text, std::to_chars(text, text + sizeof text, At<double>(w)).ptr);
        return true;
    }
    case Arg::Object:
        v.text = "object";
        return Points<IUnknown*>(w) && Points<void*>(At<std::uintptr_t>(w)) && Offers(At<IUnknown*>(w), p.object);
    case Arg::Setting: {
        if (!Points<SettingValue>(w)) return false;
        SettingValue& s = At<SettingValue>(w);
        const VARTYPE vt = s.value.vt;
        if (!(vt == VT_I4 || vt == VT_I2 || vt == VT_R8 || (vt == VT_BSTR && IsText(s.value.bstrVal))) ||
            !(s.typeCode == 2 || s.typeCode == 3 || s.typeCode == 5 || s.typeCode == 8))
            return false;
        VARIANT text{};
        VariantChangeTypeEx(&text, &s.value, LOCALE_INVARIANT, 0, VT_BSTR);
        v.text = "vt" + std::to_string(vt) + " " + Shown(text.bstrVal) + " type" + std::to_string(s.typeCode);
        VariantClear(&text);
        return true;
    }
    case Arg::KeyPair:
        if (!Points<KeyPair>(w) || !IsText(At<KeyPair>(w).section) || !IsText(At<KeyPair>(w).name)) return false;
        v.text = Shown(At<KeyPair>(w).section) + "#" + Shown(At<KeyPair>(w).name);
        return true;
    case Arg::Entry: {
        if (!Points<Entry>(w)) return false;
        const Entry& e = At<Entry>(w);
        v.text = std::to_string(e.code) + " " + std::to_string(e.count) + " " + std::to_string(e.attr3);
        for (BSTR t : e.texts) {
            if (!IsText(t)) return false;
            v.text += " '" + Shown(t) + "'";
        }
        return e.selected == VARIANT_TRUE;
    }
    case Arg::None: break;
    case Arg::Array: {
        if (!Points<SAFEARRAY*>(w)) return false;
        SAFEARRAY* a = At<SAFEARRAY*>(w);
        VARTYPE vt = VT_EMPTY;
        LONG low = -1, high = -1;
        if (!Points<SAFEARRAY>(reinterpret_cast<std::uintptr_t>(a)) || SafeArrayGetDim(a) != 1 ||
            FAILED(SafeArrayGetVartype(a, &vt)) || vt != VT_I4 || FAILED(SafeArrayGetLBound(a, 1, &low)) || low != 0)
            return false;
        SafeArrayGetUBound(a, 1, &high);
        for (LONG i = 0; i <= high; ++i) {
            LONG element = 0;
            SafeArrayGetElement(a, &i, &element);
            v.text += (i ? "," : "") + std::to_string(element);
        }
        return true;
    }
    }
    v.text = std::to_string(v.number);
    return true;
}

// ---- Host objects with table-built vtables -----------------------------------

using Slot = void (*)();
constexpr int kSlots = 64;  // past the highest position of every table
class HostObject;
struct Face {
    const Slot* vtable;
    HostObject* self;
};
const Slot* VtableOf(int itf);
const Slot* SupportVtable();

inline Entry CopyOf(const Entry& from) {
    Entry to = from;
    for (BSTR& t : to.texts) t = SysAllocStringLen(t, SysStringLen(t));
    return to;
}

class HostObject {
public:
    explicit HostObject(int itf) : face_{VtableOf(itf), this}, support_{SupportVtable(), this}, itf_(itf) { ++g_log.live; }
    ~HostObject() {
        for (auto& [key, entry] : entries_)
            for (BSTR t : entry.texts) SysFreeString(t);
        for (auto& [kind, child] : children_) child->Release();
        --g_log.live;
    }
    IUnknown* Unknown() { return reinterpret_cast<IUnknown*>(&face_); }
    IDispatch* Dispatch() { return reinterpret_cast<IDispatch*>(&face_); }
    ULONG AddRef() { return static_cast<ULONG>(++references_); }
    ULONG Release() {
        const LONG left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    LONG References() const { return references_; }
    HRESULT QueryInterface(REFIID iid, void** out) {
        const bool ours = IsEqualIID(iid, Table().iid) || IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
                          IsEqualIID(iid, IID_ISupportErrorInfo);
        *out = !ours ? nullptr : IsEqualIID(iid, IID_ISupportErrorInfo) ? static_cast<void*>(&support_) : Unknown();
        if (ours) AddRef();
        return ours ? S_OK : E_NOINTERFACE;
    }

    // A call at slot (position + 7) with its argument words.
    HRESULT Call(int slot, std::vector<std::uintptr_t> words) {
        const std::string where = Table().name + " position " + std::to_string(slot - 7);
        for (const Row& row : Table().rows) {
            if (row.position != slot - 7) continue;
            g_log.rowsCalled.insert(Table().name + "." + row.operation);
            std::vector<Value> in(row.params.size());
            std::string line = row.operation;
            for (std::size_t i = 0; i < row.params.size(); ++i) {
                if (!Decode(row.params[i], words[i], in[i])) {
                    g_log.faults.push_back(where + " " + row.operation + ": argument " + std::to_string(i + 1) +
                                           " not in its row's shape");
                    return E_INVALIDARG;
                }
                line += " " + in[i].text;
            }
            const std::uintptr_t out = row.out.arg == Arg::None ? 0 : words.back();
            if (row.out.arg != Arg::None && !Points<void*>(out)) return E_POINTER;
            // The data file's path is a fresh name each time: which set, separator and names line.
            if (row.operation == "LoadFromFile") line = "LoadFromFile " + in[3].text + " " + in[1].text + " " + in[2].text;
            g_log.calls.push_back(line);
            if (g_log.calls.size() == g_log.refuseAt) return Refused();
            return Serve(row, in, out);
        }
        g_log.faults.push_back(where + ": no row has this slot");
        return E_NOTIMPL;
    }

private:
    const Interface& Table() const { return TheTables().interfaces[static_cast<std::size_t>(itf_)]; }
    static HRESULT Refused() {
        if (g_log.refusalText) {
            Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
            CreateErrorInfo(&create);
            create->SetSource(const_cast<LPOLESTR>(L"Host.Run"));
            create->SetDescription(const_cast<LPOLESTR>(g_log.refusalText));
            create.As(&g_log.raised);
        }
        SetErrorInfo(0, g_log.raised.Get());
        return g_log.refusal;
    }
    HRESULT Refuse(const std::string& why) {
        g_log.faults.push_back(why);
        return E_INVALIDARG;
    }
    // One object of each kind (and data set number) per parent; a new item for each model added.
    HRESULT Hand(int itf, int which, std::uintptr_t out) {
        HostObject*& child = children_[{itf, which}];
        if (!child) child = new HostObject(itf);
        At<IUnknown*>(out) = child->Unknown();
        child->AddRef();
        return S_OK;
    }
    HRESULT Serve(const Row& row, const std::vector<Value>& in, std::uintptr_t out);

    Face face_, support_;  // the host's interface; ISupportErrorInfo, which it answers for
    int itf_;
    LONG references_ = 1;
    std::map<std::pair<int, int>, HostObject*> children_;
    std::map<std::string, Entry> entries_;
};

inline HRESULT HostObject::Serve(const Row& row, const std::vector<Value>& in, std::uintptr_t out) {
    const std::string& op = row.operation;
    if (row.out.object >= 0) {
        const int which = op == "GetDataSet" ? in[0].number : op == "AddModel" ? static_cast<int>(children_.size()) : 0;
        if (op == "GetDataSet" && which != 1 && which != 2) return Refuse("GetDataSet " + std::to_string(which));
        return Hand(row.out.object, which, out);
    }
    if (op == "GetNumber") return At<LONG>(out) = 7, S_OK;  // not 1: the server must ask
    if (op == "CheckKey") {
        // The host knows one key, to show that a known key travels without its name.
        if (in[0].text.find('#') == std::string::npos) return Refuse("CheckKey " + in[0].text);
        At<VARIANT_BOOL>(out) = in[0].text == "run_status#Generation" ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (op == "SeparatorText") {
        static const wchar_t* const kSeparators[] = {L" ", L"\t", L",", L";"};
        if (in[0].number < 0 || in[0].number > 3) return Refuse("SeparatorText " + in[0].text);
        At<BSTR>(out) = SysAllocString(kSeparators[in[0].number]);
    } else if (op == "LoadFromFile") {
        // The file goes away when the call returns: read it now.
        const std::string content = ReadFile(std::filesystem::path(std::wstring(in[0].bstr, SysStringLen(in[0].bstr))));
        // After a refused write the test set goes on without its file.
        if ((content.empty() && !g_log.refuseAt) || in[3].number < 1 || in[3].number > 2)
            return Refuse("LoadFromFile " + in[0].text);
    } else if (op == "WriteTempFile") {
        wchar_t folder[MAX_PATH] = {}, name[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"orv", 0, name);
        std::ofstream(std::filesystem::path(name), std::ios::binary) << Utf8(in[0].bstr, SysStringLen(in[0].bstr));
        At<BSTR>(out) = SysAllocString(name);
    } else if (op == "GetSection") {
        if (in[0].text != "FFnatives") return Refuse("GetSection " + in[0].text);
        Microsoft::WRL::ComPtr<IXMLDOMDocument> document;
        Microsoft::WRL::ComPtr<IXMLDOMElement> root;
        const CLSID domDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
        HRESULT hr = CoCreateInstance(domDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument, &document);
        if (FAILED(hr)) return hr;
        std::string text;  // without line ends, which would be nodes of their own
        for (char c : ReadFile(SourcePath("tests/com/data/catalogue.xml"))) text += c == '\n' ? "" : std::string(1, c);
        BSTR xml = SysAllocString(std::wstring(text.begin(), text.end()).c_str());
        VARIANT_BOOL loaded = VARIANT_FALSE;
        document->loadXML(xml, &loaded);
        SysFreeString(xml);
        if (FAILED(hr = document->get_documentElement(&root)) || !root) return FAILED(hr) ? hr : E_FAIL;
        return root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(out));
    } else if (op == "Contains" || op == "GetEntry") {
        const auto found = entries_.find(in[0].text);
        if (op == "Contains") At<VARIANT_BOOL>(out) = found != entries_.end() ? VARIANT_TRUE : VARIANT_FALSE;
        else if (found == entries_.end()) return Refuse("GetEntry " + in[0].text);
        else At<Entry>(out) = CopyOf(found->second);
    } else if (op == "AddEntry" || op == "UpdateEntry") {
        const Entry& given = At<Entry>(in[0].word);
        Entry& kept = entries_[Shown(given.texts[1])];
        for (BSTR t : kept.texts) SysFreeString(t);
        kept = CopyOf(given);
    }
    return S_OK;
}

// ---- Vtables from the tables -------------------------------------------------

inline HostObject& Self(void* face) { return *static_cast<Face*>(face)->self; }
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

inline HRESULT STDMETHODCALLTYPE Query(void* f, REFIID iid, void** out) { return Self(f).QueryInterface(iid, out); }
inline ULONG STDMETHODCALLTYPE AddRef(void* f) { return Self(f).AddRef(); }
inline ULONG STDMETHODCALLTYPE Release(void* f) { return Self(f).Release(); }
// IDispatch's own slots, by argument count (x86 callees pop their arguments).
template <class... A> HRESULT STDMETHODCALLTYPE NotImplemented(void*, A...) { return E_NOTIMPL; }

inline HRESULT STDMETHODCALLTYPE SupportsErrorInfo(void*, REFIID) { return S_OK; }
inline const Slot* SupportVtable() {
    static const Slot vtable[] = {reinterpret_cast<Slot>(&Query), reinterpret_cast<Slot>(&AddRef),
                                  reinterpret_cast<Slot>(&Release), reinterpret_cast<Slot>(&SupportsErrorInfo)};
    return vtable;
}

inline const Slot* VtableOf(int itf) {
    using Vtable = std::array<Slot, 7 + kSlots>;
    static const auto calls = Entries(std::make_index_sequence<7 + kSlots>());
    static const std::vector<Vtable> vtables = [] {
        std::vector<Vtable> all;
        for (const Interface& table : TheTables().interfaces) {
            Vtable& v = all.emplace_back();
            v = {reinterpret_cast<Slot>(&Query), reinterpret_cast<Slot>(&AddRef), reinterpret_cast<Slot>(&Release),
                 reinterpret_cast<Slot>(&NotImplemented<W>), reinterpret_cast<Slot>(&NotImplemented<W, W, W>),
                 reinterpret_cast<Slot>(&NotImplemented<W, W, W, W, W>),
                 reinterpret_cast<Slot>(&NotImplemented<W, W, W, W, W, W, W, W>)};
            for (std::size_t s = 7; s < v.size(); ++s) v[s] = calls[s][0];  // a trap unless a row names it
            for (const Row& row : table.rows) {
                const std::size_t s = static_cast<std::size_t>(7 + row.position);
                v[s] = calls[s][row.params.size() + (row.out.arg == Arg::None ? 0 : 1)];
            }
        }
        return all;
    }();
    return vtables[static_cast<std::size_t>(itf)].data();
}

// A class factory per host class, registered for the test program's life.
class Factory final : public IClassFactory {
public:
    explicit Factory(int itf) : itf_(itf) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        const bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory);
        *out = known ? this : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* object = new HostObject(itf_);
        const HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    int itf_;
};

// Makes the host classes creatable in this process, until CoUninitialize.
inline void RegisterHostClasses() {
    for (const auto& [itf, clsid] : TheTables().classes) {
        DWORD cookie = 0;
        if (FAILED(CoRegisterClassObject(clsid, new Factory(itf), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
            std::fprintf(stderr, "cannot register the host class of %s\n", TheTables().interfaces[itf].name.c_str());
    }
}

// The thread's error information, taken (and so cleared).
struct RaisedError {
    Microsoft::WRL::ComPtr<IErrorInfo> info;  // null: none set
    std::string source, description;
};
inline RaisedError TakeError() {
    RaisedError error;
    if (GetErrorInfo(0, &error.info) != S_OK) return error;
    BSTR text = nullptr;
    error.info->GetSource(&text);
    error.source = Utf8(text, SysStringLen(text));
    SysFreeString(text);
    error.info->GetDescription(&text);
    error.description = Utf8(text, SysStringLen(text));
    SysFreeString(text);
    return error;
}

// Converts the file into a fresh run through Convert(path by value, run by
// reference) at the converter's eighth slot; the run's reference stays the
// caller's, every object the host handed out comes back, and every argument
// was in its row's shape.
template <class Converter>
HRESULT ConvertFresh(Converter* adapter, const std::filesystem::path& file, int itf = TheTables().Index("run")) {
    auto* run = new HostObject(itf);
    IDispatch* given = run->Dispatch();
    BSTR text = SysAllocStringLen(file.c_str(), static_cast<UINT>(file.native().size()));
    const HRESULT hr = adapter->Convert(text, &given);
    SysFreeString(text);
    EXPECT_EQ(given, run->Dispatch()) << "the caller's reference was replaced";
    EXPECT_EQ(run->References(), 1) << "references to the run left behind";
    run->Release();
    EXPECT_EQ(g_log.live, 0) << "host objects still referenced";
    EXPECT_EQ(g_log.faults, std::vector<std::string>{});
    return hr;
}

}  // namespace tablehost
