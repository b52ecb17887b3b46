// The COM server as a Windows host sees it: registered, created by ProgID and
// called early bound, with a recording host behind the run object. Late
// binding is the script client's part (ConvertErrors.vbs).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <tuple>

#include "ErrorBoundary.h"
#include "HostDoubles.h"

namespace orvtest {
namespace {

using ::testing::ElementsAre;
using ::testing::IsSupersetOf;

std::filesystem::path DataPath(const std::string& name) { return SourcePath("tests/com/data/" + name); }

// One of the exports of the server built next to this program.
template <class F = HRESULT(STDAPICALLTYPE*)()>
F Export(const char* name) {
    static const HMODULE dll = LoadLibraryA("ORVConverter.dll");  // the program's folder is searched first
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

class ComServer : public ::testing::Test {
protected:
    void SetUp() override {
        g_log = HostLog{};
        CLSID clsid{};
        ASSERT_HRESULT_SUCCEEDED(CLSIDFromProgID(L"ORVConverter.V2Adapter", &clsid));
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__IConvertible, &adapter_));
    }

    // Every object the host handed out got all its references back.
    void TearDown() override {
        EXPECT_EQ(run_->References(), 1u) << "references to the run left behind";
        adapter_.Reset();
        run_.Reset();
        g_created = Created{};
        EXPECT_EQ(g_liveObjects, 0) << "host objects still referenced";
    }

    HRESULT Convert(const std::filesystem::path& path, IDispatch* run) { return ConvertInto(adapter_.Get(), path, run); }
    HRESULT Convert(const std::filesystem::path& path) { return Convert(path, run_.Get()); }

    ComPtr<_IConvertible> adapter_;
    ComPtr<TargetRun> run_{new TargetRun};
};

TEST_F(ComServer, ConvertsASampleRunIntoTheHostRun) {
    ASSERT_HRESULT_SUCCEEDED(Convert(DataPath("sample.kvr")));

    EXPECT_THAT(g_log.calls, IsSupersetOf({"SetFunctionSet", "SetKey SampleRun", "SetComments A sample run",
                                           "SetAuthor Ann Example", "PrepareDataSet 1", "PrepareDataSet 2",
                                           "LoadFromFile 1 3 names", "LoadFromFile 2 3 names"}));
    EXPECT_EQ(g_log.settings.size(), 36u);
    const SettingRow expected[] = {
        {"=", VT_I4, "500", 3},  // the one key the host knows travels without its name
        {"set_gen#Chromosomes", VT_I4, "30", 3},
        {"set_gen#LinkingFunction", VT_I2, "43", 2},
        {"set_ff#ErrorType", VT_I4, "4", 2},
        {"set_ff#Precision", VT_R8, "0.01", 5},
        {"data#train_Separator", VT_I4, "3", 3},
        {"data#train_Path", VT_BSTR, "C:\\data\\train.txt", 8},
        {"run_status#BestFitness", VT_R8, "950.5", 5},
        {"run_status#EvolveUntil", VT_I4, "1", 3},
        {"run_status#StopValue", VT_R8, "1000", 3},
        {"data#UseTestSet", VT_I2, "1", 3},
    };
    EXPECT_THAT(g_log.settings, IsSupersetOf(expected));

    ASSERT_EQ(g_created.functionSets.size(), 1u);
    const FunctionSet& set = *g_created.functionSets[0].Get();
    EXPECT_EQ(run_->functionSet.Get(), static_cast<const IV3FunctionSet*>(&set));
    EXPECT_THAT(set.initialXml, ::testing::HasSubstr("<FunctionSet>"));
    EXPECT_THAT(set.order, ElementsAre("Add", "Mul", "Sub"));
    const V3FunctionEntry& add = set.entries.at("Add");
    EXPECT_EQ(std::tuple(add.code, add.count, add.attr3, add.selected), std::tuple(1, 2, 4, VARIANT_TRUE));
    EXPECT_EQ(std::tuple(Narrow(add.attr0), Narrow(add.content1), Narrow(add.content2)),
              std::tuple("Addition", "x+y", "x+y"));
    EXPECT_EQ(set.entries.at("Sub").count, 1);

    EXPECT_THAT(g_log.dataSets, ElementsAre("x;y;z\r\n1.5;2;3.5\r\n2.5;3;5.5\r\n4;1;5", "x y z\r\n1;1;2\r\n2;2;4"));

    ASSERT_EQ(g_created.models.size(), 1u);
    EXPECT_THAT(g_created.models[0]->program, ElementsAre(1, 3, -1, -13, -1, -2, -1));
    EXPECT_THAT(g_log.calls, IsSupersetOf({"AttachRun", "SetFlagA -1", "SetProgram 3", "SetFlagB 1",
                                           "TrainBestFitness 950.5", "TrainRSquare 0.95", "TestBestFitness 900.25",
                                           "TestRSquare 0.9", "AddModel ''", "SelectModel 7"}));
    EXPECT_EQ(run_->models->added.size(), 1u);
}

constexpr const char* kOurs = "ORVConverter.V2Adapter";

// Which file gives which error is the adapter's (and the script client's),
// and a host's refusals are HostFaultsTest's; here the server's own failure
// once the host was reached, and a caller object without the run interface.
TEST_F(ComServer, OwnFailuresReachTheCallerWithOurSource) {
    ComPtr<NotARun> foreign(new NotARun);
    const struct { const char* file; IDispatch* run; HRESULT result; const char* description; bool reachesHost; } cases[] = {
        {"unknown-function.kvr", run_.Get(), Raised(5006), "Invalid character: ?", true},
        {"sample.kvr", foreign.Get(), Raised(13), "Type mismatch", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        g_log = HostLog{};
        EXPECT_EQ(Convert(DataPath(c.file), c.run), c.result);
        const RaisedError error = TakeErrorInfo();
        EXPECT_EQ(g_log.calls.empty(), !c.reachesHost) << ::testing::PrintToString(g_log.calls);
        EXPECT_EQ(error.source, kOurs);
        EXPECT_EQ(error.description, c.description);
    }
}

// The one place where the server's exceptions become COM failures.
struct BoundaryCase {
    const char* name;
    std::function<void()> raise;
    HRESULT result;
    const char* source;  // null: no error information expected
    const char* description;
};

void PrintTo(const BoundaryCase& c, std::ostream* out) { *out << c.name; }

class ErrorBoundary : public ::testing::TestWithParam<BoundaryCase> {};

TEST_P(ErrorBoundary, TurnsTheExceptionIntoResultAndErrorInformation) {
    const BoundaryCase& c = GetParam();
    EXPECT_EQ(orv::com::ComBoundary(c.raise), c.result);
    const RaisedError error = TakeErrorInfo();
    ASSERT_EQ(error.info != nullptr, c.source != nullptr);
    if (!c.source) return;
    EXPECT_EQ(error.source, c.source);
    EXPECT_EQ(error.description, c.description);
}

const auto kCases = ::testing::Values(
    BoundaryCase{"Success", [] {}, S_OK, nullptr, ""},
    BoundaryCase{"PublicCode", [] { throw orv::ComError(5006, "", "Invalid character: ?"); }, Raised(5006), kOurs,
                 "Invalid character: ?"},
    BoundaryCase{"OwnSourceKept", [] { throw orv::ComError(20015, "clsFileParser", "Bad"); }, Raised(20015),
                 "clsFileParser", "Bad"},
    BoundaryCase{"OutOfMemory", [] { throw std::bad_alloc(); }, Raised(7), kOurs, "Out of memory"},
    BoundaryCase{"HresultAsNumber", [] { throw orv::ComError(std::int32_t{REGDB_E_CLASSNOTREG}, "", "No class"); },
                 REGDB_E_CLASSNOTREG, kOurs, "No class"},
    BoundaryCase{"HostFailureWithoutInformation", [] { orv::com::CheckHost(E_ACCESSDENIED, nullptr, IID_NULL); },
                 E_ACCESSDENIED, nullptr, ""},
    BoundaryCase{"ForeignException", [] { throw 42; }, Raised(51), kOurs, "Internal error"});

INSTANTIATE_TEST_SUITE_P(Com, ErrorBoundary, kCases, [](const auto& param) { return std::string(param.param.name); });

// The "," locale, selected for this process by LC_ALL (ctest runs it once so).
TEST_F(ComServer, ReadsNumbersInTheUsersLocale) {
    const char* expected = std::getenv("ORV_EXPECT_DECIMAL");
    if (!expected) GTEST_SKIP() << "runs with ORV_EXPECT_DECIMAL set";
    char separator[8] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    ASSERT_STREQ(separator, expected);

    ASSERT_HRESULT_SUCCEEDED(Convert(DataPath("sample.kvr")));
    EXPECT_THAT(g_log.settings, ::testing::Contains(SettingRow{"set_ff#Precision", VT_R8, "0.01", 5}));
    const std::string d = expected;
    EXPECT_THAT(g_log.dataSets, ElementsAre("x;y;z\r\n1" + d + "5;2;3" + d + "5\r\n2" + d + "5;3;5" + d + "5\r\n4;1;5",
                                            ::testing::_));
}

TEST(Registration, RegistersAndUnregistersTheServer) {
    ASSERT_HRESULT_SUCCEEDED(Export("DllUnregisterServer")());
    CLSID clsid{};
    EXPECT_FALSE(SUCCEEDED(CLSIDFromProgID(L"ORVConverter.V2Adapter", &clsid)));
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(CLSID_V2Adapter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);

    ASSERT_HRESULT_SUCCEEDED(Export("DllRegisterServer")());
    ASSERT_HRESULT_SUCCEEDED(CLSIDFromProgID(L"ORVConverter.V2Adapter", &clsid));
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_V2Adapter));
    char model[32] = {};
    DWORD bytes = sizeof model;
    EXPECT_EQ(RegGetValueA(HKEY_CLASSES_ROOT, "CLSID\\{C33C13BF-6EFC-4FC4-8843-7A2DD9DECE66}\\InprocServer32",
                           "ThreadingModel", RRF_RT_REG_SZ, nullptr, model, &bytes),
              ERROR_SUCCESS);
    EXPECT_STREQ(model, "Apartment");

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
    int result = 1;
    {
        orvtest::HostClasses classes;
        const auto registerServer = orvtest::Export("DllRegisterServer");
        if (!registerServer || FAILED(registerServer())) std::fprintf(stderr, "could not register the server\n");
        result = RUN_ALL_TESTS();
    }
    CoUninitialize();
    return result;
}
