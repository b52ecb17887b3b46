// The COM server as a Windows host sees it: registered, created and called
// early bound, with the table host behind the run object. Creation by ProgID
// and late binding are the script client's part (ConvertErrors.vbs).
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>

#include "ErrorBoundary.h"
#include "TableHost.h"

namespace orvtest {
namespace {

constexpr const char* kOurs = "ORVConverter.V2Adapter";

// One of the exports of the server built next to this program.
template <class F = HRESULT(STDAPICALLTYPE*)()>
F Export(const char* name) {
    static const HMODULE dll = LoadLibraryA("ORVConverter.dll");  // the program's folder is searched first
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

// The sample's conversion calls every row of the tables, and makes the calls
// in data/sample.calls, or in the file ORV_SAMPLE_CALLS names: the run in a
// user locale with "," as decimal mark (ORV_UPDATE_GOLDEN=1 rewrites it).
TEST(ComServer, ConvertsASampleRunIntoTheHostRun) {
    const char* golden = std::getenv("ORV_SAMPLE_CALLS");
    const fs::path expected = DataPath(golden ? golden : "sample.calls");
    ResetLog();
    ASSERT_HRESULT_SUCCEEDED(ConvertFresh(NewAdapter().Get(), DataPath("sample.kvr")));
    std::string calls;
    for (const auto& c : g_log.calls) calls += c + "\n";
    if (std::getenv("ORV_UPDATE_GOLDEN")) std::ofstream(expected, std::ios::binary) << calls;
    EXPECT_EQ(calls, ReadFile(expected));
}

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
        EXPECT_EQ(ConvertFresh(adapter.Get(), DataPath(c.file), c.itf), c.result);
        const RaisedError error = TakeError();
        EXPECT_EQ(g_log.calls.empty(), !c.reachesHost) << ::testing::PrintToString(g_log.calls);
        EXPECT_EQ(error.source, kOurs);
        EXPECT_EQ(error.description, c.description);
    }
}

// The one place where the server's exceptions become COM failures, for the
// exceptions no conversion above raises.
TEST(ComServer, ErrorBoundaryTurnsExceptionsIntoResultAndErrorInformation) {
    const struct {
        const char* name;
        std::function<void()> raise;
        HRESULT result;
        const char* source;
        const char* description;
    } cases[] = {
        {"own source kept", [] { throw orv::ComError(20015, "clsFileParser", "Bad"); }, Raised(20015), "clsFileParser",
         "Bad"},
        {"out of memory", [] { throw std::bad_alloc(); }, Raised(7), kOurs, "Out of memory"},
        {"HRESULT as number", [] { throw orv::ComError(std::int32_t{REGDB_E_CLASSNOTREG}, "", "No class"); },
         REGDB_E_CLASSNOTREG, kOurs, "No class"},
        {"foreign exception", [] { throw 42; }, Raised(51), kOurs, "Internal error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(orv::com::ComBoundary(c.raise), c.result);
        const RaisedError error = TakeError();
        EXPECT_EQ(error.source, c.source);
        EXPECT_EQ(error.description, c.description);
    }
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
