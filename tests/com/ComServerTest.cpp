// The COM server as a Windows host sees it: registered, created and called
// early bound, with the table host behind the run object, then under host
// refusals, file-system faults, folders named outside the code page and the
// hostile corpus. Creation by ProgID and late binding are the script
// client's part (ConvertErrors.vbs).
#include "ErrorBoundary.h"
#include "TableHost.h"

namespace orvtest {
namespace {

constexpr const char* kOurs = "ORVConverter.V2Adapter";
constexpr const char* kUpgraded = "_kvr_temp_tmp_28214855245.kvr";  // where a version-1.0 upgrade writes

// One of the exports of the server built next to this program, or of the copy given.
template <class F = HRESULT(STDAPICALLTYPE*)()>
F Export(const char* name, HMODULE from = LoadLibraryA("ORVConverter.dll")) {  // the program's folder is searched first
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(from, name)));
}
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// The folder of this program, where the server is built.
fs::path ProgramFolder() {
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    return fs::path(program).parent_path();
}

// The sample's conversion calls every row of the tables, and makes the calls
// in data/sample.calls, or in the file ORV_SAMPLE_CALLS names: the run in a
// user locale with "," as decimal mark (ORV_UPDATE_GOLDEN=1 rewrites it).
TEST(ComServer, ConvertsASampleRunIntoTheHostRun) {
    const char* golden = std::getenv("ORV_SAMPLE_CALLS");
    const fs::path expected = DataPath(golden ? golden : "sample.calls");
    ASSERT_HRESULT_SUCCEEDED(ConvertFresh(NewAdapter().Get(), DataPath("sample.kvr")));
    std::string calls;
    for (const auto& c : g_log.calls) calls += c + "\n";
    if (std::getenv("ORV_UPDATE_GOLDEN")) std::ofstream(expected, std::ios::binary) << calls;
    EXPECT_EQ(calls, ReadAll(expected));
}

// Which file gives which error is the adapter's (and the script client's),
// and a host's refusals are HostFaults'; here the server's own failure once
// the host was reached, and a caller object without the run interface.
TEST(ComServer, OwnFailuresReachTheCallerWithOurSource) {
    const struct { const char* file; const char* itf; HRESULT result; const char* description; bool reachesHost; } cases[] = {
        {"unknown-function.kvr", "run", Raised(5006), "Invalid character: ?", true},
        {"sample.kvr", "item", Raised(13), "Type mismatch", false},
    };
    const ComPtr<_IConvertible> adapter = NewAdapter();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(ConvertFresh(adapter.Get(), DataPath(c.file), c.itf), c.result);
        EXPECT_EQ(g_log.calls.empty(), !c.reachesHost) << ::testing::PrintToString(g_log.calls);
        EXPECT_EQ(TakeError().text, kOurs + std::string(": ") + c.description);
    }
}

// The one place where the server's exceptions become COM failures, for the
// exceptions no conversion above raises.
TEST(ComServer, ErrorBoundaryTurnsExceptionsIntoResultAndErrorInformation) {
    const struct { std::function<void()> raise; HRESULT result; const char* source; const char* description; } cases[] = {
        {[] { throw orv::ComError(20015, "clsFileParser", "Bad"); }, Raised(20015), "clsFileParser", "Bad"},
        {[] { throw std::bad_alloc(); }, Raised(7), kOurs, "Out of memory"},
        {[] { throw orv::ComError(std::int32_t{REGDB_E_CLASSNOTREG}, "", "No class"); }, REGDB_E_CLASSNOTREG, kOurs, "No class"},
        {[] { throw 42; }, Raised(51), kOurs, "Internal error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(orv::com::ComBoundary(c.raise), c.result);
        EXPECT_EQ(TakeError().text, c.source + std::string(": ") + c.description);
    }
}

// Which keys registration writes and removes, and the threading model, are
// check-registration's; here what a caller reads from the type library.
TEST(Registration, TheRegisteredTypeLibraryHasConvertAtItsIdAndAllErrorNumbers) {
    ASSERT_HRESULT_SUCCEEDED(Export("DllRegisterServer")());
    ComPtr<ITypeLib> library;
    ASSERT_HRESULT_SUCCEEDED(LoadRegTypeLib(LIBID_ORVConverter, 1, 0, 0, &library));
    // Late-bound callers find Convert by name at its fixed dispatch id.
    ComPtr<ITypeInfo> convertible, errors;
    ASSERT_HRESULT_SUCCEEDED(library->GetTypeInfoOfGuid(IID__IConvertible, &convertible));
    LPOLESTR name = const_cast<LPOLESTR>(L"Convert");
    MEMBERID id = 0;
    ASSERT_HRESULT_SUCCEEDED(convertible->GetIDsOfNames(&name, 1, &id));
    EXPECT_EQ(id, 0x60030000);
    ASSERT_HRESULT_SUCCEEDED(library->GetTypeInfoOfGuid(
        {0xBD5BEB11, 0x22CC, 0x40BF, {0xBE, 0xE5, 0xAF, 0xC1, 0x29, 0x9B, 0xC0, 0x9D}}, &errors));
    TYPEATTR* attributes = nullptr;
    errors->GetTypeAttr(&attributes);
    EXPECT_EQ(attributes->cVars, 6);
    errors->ReleaseTypeAttr(attributes);
}

TEST(Registration, UnloadsOnlyWithoutLiveObjectsOrLocks) {
    const auto canUnload = Export("DllCanUnloadNow");
    const auto getClass = Export<GetClassObject>("DllGetClassObject");
    ASSERT_TRUE(canUnload && getClass);
    ComPtr<IClassFactory> factory;
    ASSERT_HRESULT_SUCCEEDED(getClass(CLSID_V2Adapter, IID_IClassFactory, &factory));
    EXPECT_EQ(canUnload(), S_FALSE) << "a factory reference is a lock";
    ComPtr<IUnknown> object;
    ASSERT_HRESULT_SUCCEEDED(factory->CreateInstance(nullptr, IID_IUnknown, &object));
    factory.Reset();
    EXPECT_EQ(canUnload(), S_FALSE) << "a live object";
    object.Reset();
    EXPECT_EQ(canUnload(), S_OK);
    EXPECT_EQ(getClass(CLSID_IConvertible, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
}

// For each bundled example the host refuses its k-th call, for every k. The
// host's failure and its error information reach the caller unchanged,
// except in the test-set part, which goes on without it; every reference the
// server took is given back; no data file is left but the training file of a
// failed training load; the run file is not touched.
TEST(HostFaults, EveryRefusedCallReachesTheCallerUnchanged) {
    const ComPtr<_IConvertible> adapter = NewAdapter();
    std::size_t seen = 0;
    for (const auto& entry : fs::directory_iterator(SourcePath("examples"))) {
        if (entry.path().extension() != ".kvr") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++seen;
        const std::string before = ReadAll(entry.path());
        ASSERT_HRESULT_SUCCEEDED(ConvertFresh(adapter.Get(), entry.path()));
        const std::vector<std::string> calls = g_log.calls;
        // Position (from 1) of the first call after the from-th that starts with the text.
        const auto find = [&calls](const char* prefix, std::size_t from) {
            while (from < calls.size() && !calls[from].starts_with(prefix)) ++from;
            return from + 1;
        };
        // The training file exists from its writing until its load returns;
        // the test set runs from after that load until the model begins.
        const std::size_t written = find("WriteTempFile", 0), loaded = find("LoadFromFile 1", written);
        const std::size_t model = find("AttachRun", loaded);
        for (std::size_t k = 1; k <= calls.size(); ++k) {
            SCOPED_TRACE("refused call " + std::to_string(k) + ": " + calls[k - 1]);
            // Every other refusal comes without error information: none may be made up for it.
            const HRESULT refusal = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x200 + k);
            const HRESULT hr =
                ConvertFresh(adapter.Get(), entry.path(), "run", k, refusal, k % 2 ? L"Refused by the host" : nullptr);
            const RaisedError error = TakeError();
            if (k > loaded && k < model) {
                EXPECT_EQ(hr, S_OK) << std::hex << hr;
            } else {
                EXPECT_EQ(hr, refusal) << std::hex << hr;
                EXPECT_EQ(error.info.Get(), g_log.raised.Get()) << "the host's own error information";
                EXPECT_EQ(g_log.calls.size(), k) << "no call after the refused one";
            }
            std::size_t left = 0;
            for (const auto& f : g_log.written) left += fs::remove(f);
            EXPECT_EQ(left, k > written && k <= loaded ? 1u : 0u);
        }
        EXPECT_TRUE(ReadAll(entry.path()) == before) << "the run file was changed";
    }
    EXPECT_GE(seen, 5u);
}

// The folder of the DLL, where a version-1.0 upgrade writes, and the user's
// temporary folder are spoiled one way at a time. Each fault gives a clear
// error, or the upgrade falls back to the user's folder, and no folder of the
// user's is taken away.
TEST(FileSystemFaults, ClearErrorsAndNoFolderTakenAway) {
    const char* const kLock = "_kvr_temp_tmp_28214855245.lock";
    const struct {
        const char* name;
        const char* dllFolder;  // a folder made in the DLL's folder, which must still be there; null: none
        bool tempBlocked;       // a file stands where the user's folder for the upgrade goes
        HRESULT result;
    } faults[] = {
        {"the run file is a folder", nullptr, false, Raised(5004)},
        {"a folder stands where the training data file goes", "traintemp.tmp", false, Raised(75)},
        {"a folder stands where the upgraded run file goes", kUpgraded, false, Raised(75)},
        {"neither the DLL's folder nor the user's temporary folder can be written", kLock, true, Raised(75)},
        {"the DLL's folder cannot be written: the user's folder serves", kLock, false, S_OK},
    };
    const fs::path dll = ProgramFolder(), temp = fs::temp_directory_path();
    const ComPtr<_IConvertible> adapter = NewAdapter();
    for (const auto& f : faults) {
        SCOPED_TRACE(f.name);
        // The upgrade's files of earlier conversions go; a private temporary folder stands in for the user's.
        for (const char* name : {kUpgraded, kLock}) fs::remove(dll / name);
        const ScratchFolder scratch;
        SetEnvironmentVariableW(L"TMP", scratch.path.c_str());
        fs::path file = SourcePath("examples/v1-regression.kvr");
        if (f.dllFolder) fs::create_directory(dll / f.dllFolder);
        else fs::create_directory(file = scratch.path / "run.kvr");
        if (f.tempBlocked) std::ofstream(scratch.path / "ORVConverter");
        EXPECT_EQ(ConvertFresh(adapter.Get(), file), f.result);
        TakeError();
        SetEnvironmentVariableW(L"TMP", temp.c_str());
        EXPECT_TRUE(!f.dllFolder || fs::is_directory(dll / f.dllFolder)) << "the folder was taken away";
        if (f.dllFolder) fs::remove(dll / f.dllFolder);
        EXPECT_FALSE(fs::exists(dll / "traintemp.tmp") || fs::exists(dll / "valtemp.tmp"));
    }
}

// Run files, and the server itself, in a folder whose name holds Greek and
// CJK letters: the ANSI code page (1252 here) has none of them, so only the
// wide API reaches these files. The server there finds its folder, where a
// version-1.0 upgrade writes, through its UTF-16 name; the upgrade's paths
// reach the host as ANSI text.
TEST(UnicodePaths, ServerAndRunFilesInAFolderNamedOutsideTheCodePage) {
    const struct {
        const char* example;  // under tests/com/data; null: no such file
        const wchar_t* name;
        HRESULT result;
        const char* key;  // what the host is told the run is called; null: the host is not reached
    } cases[] = {
        {"sample.kvr", L"\u03a0\u03b5\u03af\u03c1\u03b1\u03bc\u03b1 \u03cd.kvr", S_OK, "SetKey SampleRun"},
        {nullptr, L"\u03bb\u03b5\u03af\u03c0\u03b5\u03b9 \u6b20.kvr", Raised(5004), nullptr},
        {"sample-v1.kvr", L"\u5b9f\u9a13 \u30c7\u30fc\u30bf.kvr", S_OK, "SetKey SmallRun"},  // last: its upgrade is checked
    };
    const ScratchFolder folder(L"\u03a6\u03ac\u03ba\u03b5\u03bb\u03bf\u03c2 \u8cc7\u6599");  // 7 Greek, 2 CJK letters
    fs::copy_file(ProgramFolder() / L"ORVConverter.dll", folder.path / L"ORVConverter.dll");
    HMODULE copy = LoadLibraryW((folder.path / L"ORVConverter.dll").c_str());
    const auto getClass = Export<GetClassObject>("DllGetClassObject", copy);
    ASSERT_TRUE(copy && getClass);
    {
        ComPtr<IClassFactory> factory;
        ComPtr<_IConvertible> adapter;
        ASSERT_HRESULT_SUCCEEDED(getClass(CLSID_V2Adapter, IID_IClassFactory, &factory));
        ASSERT_HRESULT_SUCCEEDED(factory->CreateInstance(nullptr, IID__IConvertible, &adapter));
        for (const auto& c : cases) {
            SCOPED_TRACE(c.example ? c.example : "missing");
            if (c.example) fs::copy_file(DataPath(c.example), folder.path / c.name);
            EXPECT_EQ(ConvertFresh(adapter.Get(), folder.path / c.name), c.result);
            const auto& calls = g_log.calls;
            EXPECT_TRUE(c.key ? std::count(calls.begin(), calls.end(), c.key) == 1 : calls.empty()) << "the host's calls";
        }
    }
    FreeLibrary(copy);
    EXPECT_TRUE(fs::exists(folder.path / kUpgraded));
    EXPECT_FALSE(fs::exists(folder.path / L"traintemp.tmp") || fs::exists(folder.path / L"valtemp.tmp"));
    const auto train = std::ranges::find_if(g_log.calls, [](const auto& c) { return c.starts_with("PutKeyedValue data train_Path "); });
    ASSERT_NE(train, g_log.calls.end());
    EXPECT_TRUE(train->ends_with("\\??????? ??\\traintemp.tmp 8")) << *train;
}

// The hostile corpus, in both bitnesses: each file gets the outcome
// orvconvert gives it on Linux, and every reference the server took from the
// host comes back.
TEST(HostileCorpus, TheServerGivesEachFileItsOutcome) {
    const fs::path folder = SourcePath("tests/hostile");
    const auto cases = orv::hostile::ReadCases(folder / "outcomes.txt");
    ASSERT_GE(cases.size(), 60u);
    const ScratchFolder scratch;
    const ComPtr<_IConvertible> adapter = NewAdapter();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = orv::hostile::Materialise(c, folder / "corpus", scratch.path);
        const HRESULT hr = ConvertFresh(adapter.Get(), file);
        EXPECT_EQ(hr, c.error ? Raised(static_cast<unsigned>(c.error)) : S_OK) << std::hex << hr << " " << TakeError().text;
        if (c.repeat) fs::remove(file);
    }
}

}  // namespace
}  // namespace orvtest

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    orvtest::RegisterHostClasses();
    const auto registerServer = orvtest::Export("DllRegisterServer");
    if (!registerServer || FAILED(registerServer())) std::fprintf(stderr, "could not register the server\n");
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
