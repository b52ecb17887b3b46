// The COM server as a Windows host sees it: registered, created by ProgID and
// called early bound, with the table host behind the run object. Late
// binding is the script client's part (ConvertErrors.vbs).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <functional>
#include <new>
#include <set>

#include "ErrorBoundary.h"
#include "Server.h"

namespace orvtest {
namespace {


std::filesystem::path DataPath(const std::string& name) { return SourcePath("tests/com/data/" + name); }

// One of the exports of the server built next to this program.
template <class F = HRESULT(STDAPICALLTYPE*)()>
F Export(const char* name) {
    static const HMODULE dll = LoadLibraryA("ORVConverter.dll");  // the program's folder is searched first
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

// The sample's conversion makes the calls in data/sample.calls
// (ORV_UPDATE_GOLDEN=1 rewrites it).
TEST(ComServer, ConvertsASampleRunIntoTheHostRun) {
    CLSID clsid{};
    ASSERT_HRESULT_SUCCEEDED(CLSIDFromProgID(L"ORVConverter.V2Adapter", &clsid));
    ComPtr<_IConvertible> adapter;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__IConvertible, &adapter));
    ResetLog();
    ASSERT_HRESULT_SUCCEEDED(ConvertFresh(adapter.Get(), DataPath("sample.kvr")));
    std::string calls;
    for (const auto& c : g_log.calls) calls += c + "\n";
    if (std::getenv("ORV_UPDATE_GOLDEN")) std::ofstream(DataPath("sample.calls"), std::ios::binary) << calls;
    EXPECT_EQ(calls, ReadFile(DataPath("sample.calls")));
}

// Every hand-written run converts with each argument in its row's shape, and
// between them they call every row of the tables.
TEST(ComServer, ConvertsEveryRunWithEachArgumentInItsRowsShape) {
    std::vector<std::filesystem::path> runs{DataPath("sample.kvr")};  // repeats a symbol
    for (const auto& entry : std::filesystem::directory_iterator(SourcePath("tests/data/hand-written")))
        if (entry.path().extension() == ".kvr") runs.push_back(entry.path());
    std::set<std::string> rowsCalled;
    for (const auto& path : runs) {
        SCOPED_TRACE(path.string());
        ResetLog();
        EXPECT_EQ(ConvertFresh(NewAdapter().Get(), path), S_OK) << TakeError().description;
        rowsCalled.insert(g_log.rowsCalled.begin(), g_log.rowsCalled.end());
    }
    std::vector<std::string> neverCalled;
    for (const Interface& table : TheTables().interfaces)
        for (const Row& row : table.rows)
            if (!rowsCalled.count(table.name + "." + row.operation)) neverCalled.push_back(table.name + "." + row.operation);
    EXPECT_EQ(neverCalled, std::vector<std::string>{}) << "every row is tried";
}

constexpr const char* kOurs = "ORVConverter.V2Adapter";

// Which file gives which error is the adapter's (and the script client's),
// and a host's refusals are HostFaultsTest's; here the server's own failure
// once the host was reached, and a caller object without the run interface.
TEST(ComServer, OwnFailuresReachTheCallerWithOurSource) {
    const struct { const char* file; const char* itf; HRESULT result; const char* description; bool reachesHost; } cases[] = {
        {"unknown-function.kvr", "run", Raised(5006), "Invalid character: ?", true},
        {"sample.kvr", "item", Raised(13), "Type mismatch", false},
    };
    const ComPtr<_IConvertible> adapter = NewAdapter();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        ResetLog();
        EXPECT_EQ(ConvertFresh(adapter.Get(), DataPath(c.file), TheTables().Index(c.itf)), c.result);
        const RaisedError error = TakeError();
        EXPECT_EQ(g_log.calls.empty(), !c.reachesHost) << ::testing::PrintToString(g_log.calls);
        EXPECT_EQ(error.source, kOurs);
        EXPECT_EQ(error.description, c.description);
    }
}

// The one place where the server's exceptions become COM failures.
TEST(ComServer, ErrorBoundaryTurnsExceptionsIntoResultAndErrorInformation) {
    const struct {
        const char* name;
        std::function<void()> raise;
        HRESULT result;
        const char* source;  // null: no error information expected
        const char* description;
    } cases[] = {
        {"success", [] {}, S_OK, nullptr, ""},
        {"public code", [] { throw orv::ComError(5006, "", "Invalid character: ?"); }, Raised(5006), kOurs,
         "Invalid character: ?"},
        {"own source kept", [] { throw orv::ComError(20015, "clsFileParser", "Bad"); }, Raised(20015), "clsFileParser",
         "Bad"},
        {"out of memory", [] { throw std::bad_alloc(); }, Raised(7), kOurs, "Out of memory"},
        {"HRESULT as number", [] { throw orv::ComError(std::int32_t{REGDB_E_CLASSNOTREG}, "", "No class"); },
         REGDB_E_CLASSNOTREG, kOurs, "No class"},
        {"host failure without information", [] { orv::com::CheckHost(E_ACCESSDENIED, nullptr, IID_NULL); },
         E_ACCESSDENIED, nullptr, ""},
        {"foreign exception", [] { throw 42; }, Raised(51), kOurs, "Internal error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(orv::com::ComBoundary(c.raise), c.result);
        const RaisedError error = TakeError();
        ASSERT_EQ(error.info != nullptr, c.source != nullptr);
        if (!c.source) continue;
        EXPECT_EQ(error.source, c.source);
        EXPECT_EQ(error.description, c.description);
    }
}

// The "," locale, selected for this process by LC_ALL (ctest runs it once so).
TEST(ComServer, ReadsNumbersInTheUsersLocale) {
    const char* expected = std::getenv("ORV_EXPECT_DECIMAL");
    if (!expected) GTEST_SKIP() << "runs with ORV_EXPECT_DECIMAL set";
    char separator[8] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    ASSERT_STREQ(separator, expected);
    ResetLog();
    ASSERT_HRESULT_SUCCEEDED(ConvertFresh(NewAdapter().Get(), DataPath("sample.kvr")));
    const std::string d = expected;
    const std::string train = "WriteTempFile x;y;z\\r\\n1" + d + "5;2;3" + d + "5\\r\\n2" + d + "5;3;5" + d + "5\\r\\n4;1;5";
    EXPECT_NE(std::find(g_log.calls.begin(), g_log.calls.end(), train), g_log.calls.end()) << train;
    EXPECT_NE(std::find(g_log.calls.begin(), g_log.calls.end(), "PutKeyedValue set_ff#Precision vt5 0.01 type5"),
              g_log.calls.end());
}

// Which keys registration writes and removes, and the threading model, are
// check-registration's; here what a caller reads from the type library.
TEST(Registration, TheRegisteredTypeLibraryHasConvertAtItsIdAndAllErrorNumbers) {
    ASSERT_HRESULT_SUCCEEDED(Export("DllRegisterServer")());
    ComPtr<ITypeLib> library;
    ASSERT_HRESULT_SUCCEEDED(LoadRegTypeLib(LIBID_ORVConverter, 1, 0, 0, &library));
    // Late-bound callers find Convert by name at its fixed dispatch id.
    ComPtr<ITypeInfo> convertible;
    ASSERT_HRESULT_SUCCEEDED(library->GetTypeInfoOfGuid(IID__IConvertible, &convertible));
    LPOLESTR name = const_cast<LPOLESTR>(L"Convert");
    MEMBERID id = 0;
    ASSERT_HRESULT_SUCCEEDED(convertible->GetIDsOfNames(&name, 1, &id));
    EXPECT_EQ(id, 0x60030000);
    ComPtr<ITypeInfo> errors;
    ASSERT_HRESULT_SUCCEEDED(library->GetTypeInfoOfGuid(
        {0xBD5BEB11, 0x22CC, 0x40BF, {0xBE, 0xE5, 0xAF, 0xC1, 0x29, 0x9B, 0xC0, 0x9D}}, &errors));
    TYPEATTR* attributes = nullptr;
    errors->GetTypeAttr(&attributes);
    EXPECT_EQ(attributes->cVars, 6);
    errors->ReleaseTypeAttr(attributes);
}

TEST(Registration, UnloadsOnlyWithoutLiveObjectsOrLocks) {
    const auto canUnload = Export("DllCanUnloadNow");
    const auto getClass = Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
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
