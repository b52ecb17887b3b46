// The host every Windows test converts into, and the server as its callers
// reach it. The host is written from the interface tables alone
// (data/host-tables.txt), with no header generated from our IDL of it.
// Its vtables are built at run time from the rows: a row's slot checks every
// argument in the row's shape before the host uses it, and every other slot
// (IDispatch's too) traps. So a method moved by one slot, or a text passed
// as BSTR* where the row says BSTR (or the reverse), is a fault here against
// the DLL as built. Each call is logged as one line of text; the host can
// refuse one call, counted from 1, the way a host would (HRESULT plus error
// information), and counts its live objects.
#pragma once

#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <charconv>

#include "../hostile/HostileCorpus.h"
#include "../support/TestSupport.h"
#include "ORVConverter.h"

namespace orvtest {

namespace fs = std::filesystem;
using Microsoft::WRL::ComPtr;
using orv::test::ReadAll;

// A file under the source folder, as Wine's Z: drive shows it.
inline fs::path SourcePath(const std::string& tail) { return fs::path("Z:" ORV_SOURCE_DIR "/" + tail).make_preferred(); }
inline fs::path DataPath(const std::string& name) { return SourcePath("tests/com/data/" + name); }

// A fresh folder of this process's under the temporary one; gone, with all it
// holds, at the end.
struct ScratchFolder {
    const fs::path root = fs::temp_directory_path() / (L"orv-" + std::to_wstring(GetCurrentProcessId()));
    const fs::path path;
    explicit ScratchFolder(const std::wstring& name = L"scratch") : path(root / name) { fs::create_directories(path); }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

// ---- The tables, read from their data file ----------------------------------

// The shape of an argument or of a result's place, named as in the data file.
struct Shape {
    bool ref = false;    // passed by reference
    std::string name;    // a plain shape or a record; empty: none
    std::string object;  // Object: the interface the object must offer
};
struct Row {
    int position;
    std::string operation;
    std::vector<Shape> params;
    Shape out;
};
using Slot = void (*)();
constexpr std::size_t kSlots = 7 + 64;  // past the highest position of every table
struct Interface {
    std::string name;
    GUID iid;
    std::vector<Row> rows;
    std::array<Slot, kSlots> vtable;  // IUnknown's slots, each row's call, a trap in every other slot
};
struct Tables {
    std::map<std::string, Interface> interfaces;
    std::map<std::string, std::vector<Shape>> records;  // their fields, at natural alignment
    std::vector<std::pair<std::string, CLSID>> classes;  // the host classes the server creates
};
const Tables& TheTables();
inline const Interface& Named(const std::string& name) { return TheTables().interfaces.at(name); }

// ---- What the host saw -------------------------------------------------------

struct Log {
    std::vector<std::string> calls;   // "Operation argument..." per call that reached a row
    std::vector<std::string> faults;  // argument shapes, trapped slots, refused contents
    std::vector<fs::path> written;    // the data files the host wrote
    int live = 0;                     // host objects alive now
    // The call to refuse (from 1; 0: none), with this result and, unless
    // null, error information with this description.
    std::size_t refuseAt = 0;
    HRESULT refusal = E_FAIL;
    const wchar_t* refusalText = nullptr;
    ComPtr<IErrorInfo> raised;  // the error information of the refusal
};
inline Log g_log;

using W = std::uintptr_t;  // an argument as the host's slot receives it
template <class T>
bool Points(W word) { return !IsBadReadPtr(reinterpret_cast<const void*>(word), sizeof(T)); }
template <class T>
T& At(W word) { return *reinterpret_cast<T*>(word); }

// A BSTR: length prefix, even byte count, terminating zero (null is empty).
inline bool IsText(BSTR text) {
    if (!text) return true;
    if (IsBadReadPtr(reinterpret_cast<const char*>(text) - 4, 4)) return false;
    const UINT bytes = SysStringByteLen(text);
    return bytes % 2 == 0 && bytes < (1u << 30) && !IsBadReadPtr(text, bytes + 2) && text[bytes / 2] == 0;
}

inline std::string Utf8(BSTR text) {
    const std::u8string utf8 = fs::path(std::wstring(text, SysStringLen(text))).u8string();
    return {utf8.begin(), utf8.end()};
}
// A text for the log: line ends shown as \r and \n.
inline std::string Shown(BSTR text) {
    std::string out;
    for (char c : Utf8(text)) out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    return out;
}

// The host's function entry, kept and handed back.
struct Entry {
    LONG code, count, attr3, reserved1;
    VARIANT_BOOL selected;
    SHORT reserved2;
    BSTR texts[5];  // attr0, key, content2, content1, spare
};

inline std::size_t SizeOf(const std::string& name) {
    static const std::map<std::string, std::size_t> kSizes = {
        {"Long", 4}, {"Short", 2}, {"Bool", 2}, {"Double", 8}, {"Variant", sizeof(VARIANT)}};
    return kSizes.count(name) ? kSizes.at(name) : sizeof(void*);  // or a BSTR, an object, an array
}

// Appends the value of the shape stored at the address, as the log shows it;
// false when it is not in that shape.
inline bool Decode(const Shape& s, W at, std::string& text) {
    if (s.ref) return Points<W>(at) && Decode({false, s.name, s.object}, At<W>(at), text);
    if (const auto record = TheTables().records.find(s.name); record != TheTables().records.end()) {
        std::size_t offset = 0;
        for (const Shape& field : record->second) {
            const std::size_t size = SizeOf(field.name), align = std::min<std::size_t>(size, 8);
            offset = (offset + align - 1) / align * align;
            if (!Decode(field, at + offset, text += offset ? " " : "")) return false;
            offset += size;
        }
        return true;
    }
    if (IsBadReadPtr(reinterpret_cast<const void*>(at), SizeOf(s.name))) return false;
    if (s.name == "Text") return IsText(At<BSTR>(at)) && (text += Shown(At<BSTR>(at)), true);
    if (s.name == "Long" || s.name == "Short" || s.name == "Bool") {
        const std::int32_t value = s.name == "Long" ? At<std::int32_t>(at) : At<std::int16_t>(at);
        return text += std::to_string(value), s.name != "Bool" || value == VARIANT_TRUE || value == VARIANT_FALSE;
    }
    if (s.name == "Double") {
        char digits[32];
        return text.append(digits, std::to_chars(digits, digits + 32, At<double>(at)).ptr), true;
    }
    if (s.name == "Variant") {
        VARIANT shown{};
        VariantChangeTypeEx(&shown, &At<VARIANT>(at), LOCALE_INVARIANT, 0, VT_BSTR);
        text += "vt" + std::to_string(At<VARIANT>(at).vt) + " " + Shown(shown.bstrVal);
        return VariantClear(&shown), true;
    }
    if (s.name == "Object") {
        IUnknown* object = At<IUnknown*>(at);
        ComPtr<IUnknown> found;
        text += "object";
        return object && Points<void*>(W(object)) && SUCCEEDED(object->QueryInterface(Named(s.object).iid, &found));
    }
    if (s.name != "Array") throw std::runtime_error("no shape " + s.name);
    SAFEARRAY* a = At<SAFEARRAY*>(at);  // of 32-bit integers from index 0
    VARTYPE vt = VT_EMPTY;
    if (!Points<SAFEARRAY>(W(a)) || SafeArrayGetDim(a) != 1 || FAILED(SafeArrayGetVartype(a, &vt)) || vt != VT_I4 ||
        a->rgsabound[0].lLbound != 0)
        return false;
    for (ULONG i = 0; i < a->rgsabound[0].cElements; ++i)
        text += (i ? "," : "") + std::to_string(static_cast<const std::int32_t*>(a->pvData)[i]);
    return true;
}

// ---- Host objects with table-built vtables -----------------------------------

struct HostObject;
struct Face {
    const Slot* vtable;
    HostObject* self;
};
const Slot* SupportVtable();

inline void Keep(Entry& kept, const Entry& from) {
    for (BSTR t : kept.texts) SysFreeString(t);
    kept = from;
    for (BSTR& t : kept.texts) t = SysAllocStringLen(t, SysStringLen(t));
}

struct HostObject {
    explicit HostObject(const std::string& name)
        : table_(Named(name)), face_{table_.vtable.data(), this}, support_{SupportVtable(), this} { ++g_log.live; }
    ~HostObject() {
        for (auto& [key, entry] : entries_)
            for (BSTR t : entry.texts) SysFreeString(t);
        --g_log.live;
    }
    IDispatch* Dispatch() { return reinterpret_cast<IDispatch*>(&face_); }
    ULONG AddRef() { return static_cast<ULONG>(++references_); }
    ULONG Release() {
        const LONG left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT QueryInterface(REFIID iid, void** out) {
        const bool ours = IsEqualIID(iid, table_.iid) || IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch);
        *out = IsEqualIID(iid, IID_ISupportErrorInfo) ? static_cast<void*>(&support_) : ours ? Dispatch() : nullptr;
        return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
    }

    // A call at the slot with its argument words, the result's place last.
    HRESULT Call(int slot, const std::vector<W>& words) {
        const std::string where = table_.name + " position " + std::to_string(slot - 7);
        const auto row = std::ranges::find(table_.rows, slot - 7, &Row::position);
        if (row == table_.rows.end()) return Refuse(where + ": no row has this slot");
        std::vector<std::string> in(row->params.size());
        std::string line = row->operation;
        for (std::size_t i = 0; i < in.size(); ++i) {
            if (!Decode(row->params[i], reinterpret_cast<W>(&words[i]), in[i]))
                return Refuse(where + " " + row->operation + ": argument " + std::to_string(i + 1) + " not in its shape");
            line += " " + in[i];
        }
        const W out = row->out.name.empty() ? 0 : words.back();
        if (out && !Points<void*>(out)) return Refuse(where + ": no place for the result");
        // The data file's path is a fresh name each time: which set, separator and names line.
        if (row->operation == "LoadFromFile") line = "LoadFromFile " + in[3] + " " + in[1] + " " + in[2];
        g_log.calls.push_back(line);
        if (g_log.calls.size() == g_log.refuseAt) return Refused();
        return Serve(*row, line, in, words.empty() ? 0 : words[0], out);
    }
    static HRESULT Refused() {
        if (g_log.refusalText) {
            ComPtr<ICreateErrorInfo> create;
            CreateErrorInfo(&create);
            create->SetSource(const_cast<LPOLESTR>(L"Host.Run"));
            create->SetDescription(const_cast<LPOLESTR>(g_log.refusalText));
            create.As(&g_log.raised);
        }
        SetErrorInfo(0, g_log.raised.Get());
        return g_log.refusal;
    }
    static HRESULT Refuse(const std::string& why) {
        g_log.faults.push_back(why);
        return E_INVALIDARG;
    }
    HRESULT Serve(const Row& row, const std::string& line, const std::vector<std::string>& in, W first, W out);

    const Interface& table_;
    Face face_, support_;  // the host's interface; ISupportErrorInfo, which it answers for
    LONG references_ = 1;
    std::map<std::string, ComPtr<IDispatch>> children_;  // by the call that asked for them
    std::map<std::string, Entry> entries_;
};

inline HRESULT HostObject::Serve(const Row& row, const std::string& line, const std::vector<std::string>& in, W first,
                                 W out) {
    const std::string& op = row.operation;
    if (!row.out.object.empty()) {  // the same call gives the same object
        ComPtr<IDispatch>& child = children_[line];
        if (!child) *child.GetAddressOf() = (new HostObject(row.out.object))->Dispatch();  // its first reference
        child.CopyTo(&At<IDispatch*>(out));
    } else if (op == "GetNumber") {
        At<LONG>(out) = 7;  // not 1: the server must ask
    } else if (op == "CheckKey") {
        // The host knows one key, to show that a known key travels without its name.
        At<VARIANT_BOOL>(out) = in[0] == "run_status#Generation" ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (op == "SeparatorText") {
        static const std::map<std::string, const wchar_t*> kSeparators = {{"0", L" "}, {"1", L"\t"}, {"2", L","}, {"3", L";"}};
        if (!kSeparators.count(in[0])) return Refuse(line);
        At<BSTR>(out) = SysAllocString(kSeparators.at(in[0]));
    } else if (op == "LoadFromFile") {
        // The file goes away when the call returns: read it now. After a
        // refused write the test set goes on without its file.
        const BSTR path = reinterpret_cast<BSTR>(first);
        if (ReadAll(fs::path(std::wstring(path, SysStringLen(path)))).empty() && !g_log.refuseAt) return Refuse(line);
    } else if (op == "WriteTempFile") {
        wchar_t folder[MAX_PATH] = {}, name[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"orv", 0, name);
        std::ofstream(fs::path(name), std::ios::binary) << Utf8(At<BSTR>(first));
        g_log.written.emplace_back(name);
        At<BSTR>(out) = SysAllocString(name);
    } else if (op == "GetSection") {
        ComPtr<IXMLDOMDocument> document;
        ComPtr<IXMLDOMElement> root;
        const CLSID domDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
        std::string xml = ReadAll(DataPath("catalogue.xml"));
        std::erase(xml, '\n');  // line ends would be nodes of their own
        BSTR text = SysAllocString(std::wstring(xml.begin(), xml.end()).c_str());
        VARIANT_BOOL loaded = VARIANT_FALSE;
        const bool ok =
            in[0] == "FFnatives" &&
            SUCCEEDED(CoCreateInstance(domDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument, &document)) &&
            SUCCEEDED(document->loadXML(text, &loaded)) && SUCCEEDED(document->get_documentElement(&root)) && root;
        SysFreeString(text);
        return ok ? root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(out)) : Refuse(line);
    } else if (op == "Contains") {
        At<VARIANT_BOOL>(out) = entries_.count(in[0]) ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (op == "GetEntry") {
        if (!entries_.count(in[0])) return Refuse(line);
        Keep(At<Entry>(out) = {}, entries_[in[0]]);
    } else if (op == "AddEntry" || op == "UpdateEntry") {
        Keep(entries_[Shown(At<Entry>(first).texts[1])], At<Entry>(first));
    }
    return S_OK;
}

// ---- Slots for the vtables ---------------------------------------------------

inline HostObject& Self(void* face) { return *static_cast<Face*>(face)->self; }
template <int S, class... A>
HRESULT STDMETHODCALLTYPE CallAt(void* f, A... a) { return Self(f).Call(S, {a...}); }

// For each slot, its call by argument count (x86 callees pop their arguments).
template <std::size_t... S>
auto CallsBySlot(std::index_sequence<S...>) {
    return std::array<std::array<Slot, 5>, sizeof...(S)>{std::array<Slot, 5>{
        reinterpret_cast<Slot>(&CallAt<S>), reinterpret_cast<Slot>(&CallAt<S, W>), reinterpret_cast<Slot>(&CallAt<S, W, W>),
        reinterpret_cast<Slot>(&CallAt<S, W, W, W>), reinterpret_cast<Slot>(&CallAt<S, W, W, W, W>)}...};
}

inline HRESULT STDMETHODCALLTYPE Query(void* f, REFIID iid, void** out) { return Self(f).QueryInterface(iid, out); }
inline ULONG STDMETHODCALLTYPE AddRef(void* f) { return Self(f).AddRef(); }
inline ULONG STDMETHODCALLTYPE Release(void* f) { return Self(f).Release(); }
// Only for its own interface: error information checked against another is dropped.
inline HRESULT STDMETHODCALLTYPE SupportsErrorInfo(void* f, REFIID iid) {
    return IsEqualIID(iid, Self(f).table_.iid) ? S_OK : S_FALSE;
}

inline const Slot* SupportVtable() {
    static const Slot vtable[] = {reinterpret_cast<Slot>(&Query), reinterpret_cast<Slot>(&AddRef),
                                  reinterpret_cast<Slot>(&Release), reinterpret_cast<Slot>(&SupportsErrorInfo)};
    return vtable;
}

// ---- The tables, read once, with their vtables ---------------------------------

inline const Tables& TheTables() {
    static const auto calls = CallsBySlot(std::make_index_sequence<kSlots>());
    static const Tables tables = [] {
        const auto shape = [](const std::string& word) {
            const std::size_t from = word[0] == '&' ? 1 : 0, colon = word.find(':');
            return Shape{from == 1, word.substr(from, colon - from), colon == std::string::npos ? "" : word.substr(colon + 1)};
        };
        const auto guid = [](const std::string& text) {
            GUID id{};
            EXPECT_HRESULT_SUCCEEDED(CLSIDFromString(std::wstring(text.begin(), text.end()).c_str(), &id)) << text;
            return id;
        };
        Tables t;
        Interface* itf = nullptr;
        std::istringstream in(ReadAll(DataPath("host-tables.txt")));
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            const std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
            if (w.empty() || w[0][0] == '#') continue;
            if (w[0] == "interface") {
                itf = &(t.interfaces[w[1]] = {w[1], guid(w[2]), {}, {}});
                for (std::size_t s = 0; s < kSlots; ++s) itf->vtable[s] = s < 3 ? SupportVtable()[s] : calls[s][0];
            } else if (w[0] == "class") {
                t.classes.emplace_back(w[1], guid(w[2]));
            } else if (w[0] == "record") {
                for (std::size_t i = 2; i < w.size(); ++i) t.records[w[1]].push_back(shape(w[i]));
            } else {
                Row& row = itf->rows.emplace_back(Row{std::stoi(w[0]), w[1], {}, {}});
                for (std::size_t i = 2; i < w.size(); ++i)
                    if (w[i] == "->") row.out = shape(w.at(++i));
                    else row.params.push_back(shape(w[i]));
                const auto s = static_cast<std::size_t>(7 + row.position);
                itf->vtable[s] = calls[s][row.params.size() + (row.out.name.empty() ? 0 : 1)];
            }
        }
        return t;
    }();
    return tables;
}

// A class factory per host class, registered for the test program's life.
struct Factory final : IClassFactory {
    std::string name;
    explicit Factory(std::string n) : name(std::move(n)) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* object = new HostObject(name);
        const HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
};

// Makes the host classes creatable in this process, until CoUninitialize.
inline void RegisterHostClasses() {
    DWORD cookie = 0;
    for (const auto& [name, clsid] : TheTables().classes)
        if (FAILED(CoRegisterClassObject(clsid, new Factory(name), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
            ADD_FAILURE() << "cannot register the host class of " << name;
}

// ---- The server as a caller reaches it ---------------------------------------

inline ComPtr<_IConvertible> NewAdapter() {
    ComPtr<_IConvertible> adapter;
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_V2Adapter, nullptr, CLSCTX_INPROC_SERVER, IID__IConvertible, &adapter));
    return adapter;
}

// The failure of a raised error number.
constexpr HRESULT Raised(unsigned number) { return static_cast<HRESULT>(0x800A0000u | number); }

// The thread's error information, taken (and so cleared), and its text as
// "source: description".
struct RaisedError {
    ComPtr<IErrorInfo> info;  // null: none set
    std::string text;
};
inline RaisedError TakeError() {
    RaisedError error;
    BSTR source = nullptr, description = nullptr;
    if (GetErrorInfo(0, &error.info) == S_OK && SUCCEEDED(error.info->GetSource(&source)) &&
        SUCCEEDED(error.info->GetDescription(&description)))
        error.text = Utf8(source) + ": " + Utf8(description);
    SysFreeString(source), SysFreeString(description);
    return error;
}

// Converts the file into a fresh run (of the interface named) through
// Convert(path by value, run by reference), with a fresh log, the host
// refusing the call given; the run's reference stays the caller's, every
// object the host handed out comes back, and every argument was in its row's
// shape.
inline HRESULT ConvertFresh(_IConvertible* adapter, const fs::path& file, const std::string& itf = "run",
                            std::size_t refuseAt = 0, HRESULT refusal = E_FAIL, const wchar_t* refusalText = nullptr) {
    g_log = Log{{}, {}, {}, g_log.live, refuseAt, refusal, refusalText, nullptr};
    auto* run = new HostObject(itf);
    IDispatch* given = run->Dispatch();
    BSTR text = SysAllocStringLen(file.c_str(), static_cast<UINT>(file.native().size()));
    const HRESULT hr = adapter->Convert(text, &given);
    SysFreeString(text);
    EXPECT_EQ(given, run->Dispatch()) << "the caller's reference was replaced";
    EXPECT_EQ(run->references_, 1) << "references to the run left behind";
    run->Release();
    EXPECT_EQ(g_log.live, 0) << "host objects still referenced";
    EXPECT_EQ(g_log.faults, std::vector<std::string>{});
    return hr;
}

}  // namespace orvtest
