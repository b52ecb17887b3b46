// The COM server as a Windows host sees it: registered with regsvr32, created
// by ProgID and called early bound, with a recording host behind the run
// object. Late binding is the script client's part (ConvertErrors.vbs).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <olectl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "HostDoubles.h"
#include "ORVConverter.h"

namespace orvtest {
namespace {

using ::testing::ElementsAre;
using ::testing::IsSupersetOf;

// A file under the source folder, as Wine's Z: drive shows it.
std::string SourcePath(const std::string& tail) {
    const char* root = std::getenv("ORV_SOURCE_DIR");
    std::string path = std::string("Z:") + (root ? root : "") + "/" + tail;
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
}

// The server is built next to this program.
std::string DllPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1) + "ORVConverter.dll";
}

DWORD RunProgram(std::string command) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return GetLastError();
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

DWORD Regsvr32(const char* options) {
    return RunProgram(std::string("regsvr32.exe ") + options + " \"" + DllPath() + "\"");
}

std::string SamplePath() { return SourcePath("tests/com/data/sample.kvr"); }

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A run file of our own in the temporary folder.
std::string WriteRunFile(const std::string& name, const std::string& content) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

struct RaisedError {
    HRESULT result;
    std::string source;
    std::string description;
};

RaisedError TakeErrorInfo(HRESULT result) {
    ComPtr<IErrorInfo> info;
    RaisedError error{result, "", ""};
    if (GetErrorInfo(0, &info) != S_OK) return error;
    BSTR text = nullptr;
    info->GetSource(&text);
    error.source = Narrow(text);
    SysFreeString(text);
    info->GetDescription(&text);
    error.description = Narrow(text);
    SysFreeString(text);
    return error;
}

class ComServer : public ::testing::Test {
protected:
    void SetUp() override {
        Log().Clear();
        CLSID clsid{};
        ASSERT_HRESULT_SUCCEEDED(CLSIDFromProgID(L"ORVConverter.V2Adapter", &clsid));
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__IConvertible,
                                                  reinterpret_cast<void**>(adapter_.GetAddressOf())));
    }

    // Every object the host handed out got all its references back.
    void TearDown() override {
        EXPECT_EQ(run_->References(), 1u) << "references to the run left behind";
        adapter_.Reset();
        run_.Reset();
        CreatedObjects() = Created{};
        Log().Clear();
        EXPECT_EQ(LiveObjects(), 0) << "host objects still referenced";
    }

    HRESULT Convert(const std::string& path, IDispatch* run) {
        BSTR text = Wide(path);
        IDispatch* given = run;
        const HRESULT hr = adapter_->Convert(text, &given);
        SysFreeString(text);
        EXPECT_EQ(given, run) << "the caller's reference was replaced";
        return hr;
    }
    HRESULT Convert(const std::string& path) { return Convert(path, run_.Get()); }

    ComPtr<_IConvertible> adapter_;
    ComPtr<TargetRun> run_{new TargetRun};
};

TEST_F(ComServer, ConvertsASampleRunIntoTheHostRun) {
    ASSERT_HRESULT_SUCCEEDED(Convert(SamplePath()));
    const HostLog& log = Log();

    EXPECT_THAT(log.calls, IsSupersetOf({"SetFunctionSet", "SetKey SampleRun", "SetComments A sample run",
                                         "SetAuthor Ann Example", "PrepareDataSet 1", "PrepareDataSet 2"}));
    EXPECT_EQ(log.settings.size(), 36u);
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
    for (const SettingRow& row : expected) {
        const auto found = std::find_if(log.settings.begin(), log.settings.end(),
                                        [&](const SettingRow& s) { return s.key == row.key; });
        ASSERT_NE(found, log.settings.end()) << row.key;
        EXPECT_EQ(found->type, row.type) << row.key;
        EXPECT_EQ(found->value, row.value) << row.key;
        EXPECT_EQ(found->typeCode, row.typeCode) << row.key;
    }

    ASSERT_EQ(CreatedObjects().functionSets.size(), 1u);
    const FunctionSet& set = *CreatedObjects().functionSets[0].Get();
    EXPECT_EQ(run_->functionSet.Get(), static_cast<IV3FunctionSet*>(CreatedObjects().functionSets[0].Get()));
    EXPECT_THAT(set.initialXml, ::testing::HasSubstr("<FunctionSet>"));
    EXPECT_THAT(set.order, ElementsAre("Add", "Mul", "Sub"));
    const V3FunctionEntry& add = set.entries.at("Add");
    EXPECT_EQ(add.code, 1);
    EXPECT_EQ(add.count, 2);
    EXPECT_EQ(add.attr3, 4);
    EXPECT_EQ(add.selected, VARIANT_TRUE);
    EXPECT_EQ(Narrow(add.attr0), "Addition");
    EXPECT_EQ(Narrow(add.content1), "x+y");
    EXPECT_EQ(Narrow(add.content2), "x+y");
    EXPECT_EQ(set.entries.at("Sub").count, 1);

    ASSERT_EQ(log.dataSets.size(), 2u);
    EXPECT_EQ(log.dataSets[0].content, "x;y;z\r\n1.5;2;3.5\r\n2.5;3;5.5\r\n4;1;5");
    EXPECT_EQ(log.dataSets[0].separator, 3);
    EXPECT_TRUE(log.dataSets[0].fieldNames);
    EXPECT_EQ(log.dataSets[1].content, "x y z\r\n1;1;2\r\n2;2;4");
    EXPECT_EQ(log.dataSets[1].which, 2);

    ASSERT_EQ(CreatedObjects().models.size(), 1u);
    EXPECT_THAT(CreatedObjects().models[0]->program, ElementsAre(1, 3, -1, -13, -1, -2, -1));
    EXPECT_THAT(log.calls, IsSupersetOf({"AttachRun", "SetFlagA -1", "SetProgram 3", "SetFlagB 1",
                                         "TrainBestFitness 950.5", "TrainRSquare 0.95", "TestBestFitness 900.25",
                                         "TestRSquare 0.9", "AddModel ''", "SelectModel 7"}));
    EXPECT_EQ(run_->models->added.size(), 1u);
}

struct ErrorCase {
    const char* name;
    enum { kMissing, kText, kSampleWithFunctionSet } file;
    const char* text;
    bool targetRun;
    std::int32_t number;
    const char* description;
    bool reachesHost;  // false: not even asked for the target run interface
};

void PrintTo(const ErrorCase& c, std::ostream* out) { *out << c.name; }

class ComServerErrors : public ComServer, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ComServerErrors, RaiseTheirNumberAndDescription) {
    const ErrorCase& c = GetParam();
    std::string path = SourcePath("tests/com/data/missing.kvr");
    if (c.file == ErrorCase::kText) path = WriteRunFile(std::string(c.name) + ".kvr", c.text);
    if (c.file == ErrorCase::kSampleWithFunctionSet) {
        path = WriteRunFile(std::string(c.name) + ".kvr", Replace(ReadFile(SamplePath()), "++*-", c.text));
    }
    ComPtr<NotARun> foreign(new NotARun);
    const HRESULT hr = Convert(path, c.targetRun ? static_cast<IDispatch*>(run_.Get()) : foreign.Get());
    const RaisedError error = TakeErrorInfo(hr);
    EXPECT_EQ(error.result, static_cast<HRESULT>(0x800A0000u | static_cast<unsigned>(c.number)));
    EXPECT_EQ(error.description, c.description);
    EXPECT_EQ(error.source, "ORVConverter.V2Adapter");
    EXPECT_EQ(Log().calls.empty(), !c.reachesHost) << ::testing::PrintToString(Log().calls);
    if (c.file != ErrorCase::kMissing) DeleteFileA(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Convert, ComServerErrors,
    ::testing::Values(
        ErrorCase{"Missing", ErrorCase::kMissing, "", true, 5004, "File not found.", false},
        ErrorCase{"Foreign", ErrorCase::kText, "hello\r\nworld\r\n", true, 5002, "Wrong file format.", false},
        ErrorCase{"OldVersion", ErrorCase::kText, "<ORV>\r\n<VERSION>1.0</VERSION>\r\n", true, 5003, "Invalid file.", false},
        ErrorCase{"UnknownFunction", ErrorCase::kSampleWithFunctionSet, "+?", true, 5006, "Invalid character: ?", true},
        ErrorCase{"NotATargetRun", ErrorCase::kSampleWithFunctionSet, "++*-", false, 13, "Type mismatch", false}),
    [](const auto& param) { return std::string(param.param.name); });

struct RefusalCase {
    const char* name;
    Refusal refusal;
    bool succeeds;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class HostRefusals : public ComServer, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(HostRefusals, PassTheHostsFailureThroughUnchanged) {
    const RefusalCase& c = GetParam();
    Log().refuse = c.refusal;
    const HRESULT hr = Convert(SamplePath());
    if (c.succeeds) {
        EXPECT_EQ(hr, S_OK);
        ASSERT_EQ(Log().dataSets.size(), 1u) << "the training set still loads";
        EXPECT_EQ(Log().dataSets[0].which, 1);
        return;
    }
    EXPECT_EQ(hr, c.refusal.result);
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(GetErrorInfo(0, &info), c.refusal.description.empty() ? S_FALSE : S_OK);
    EXPECT_EQ(info.Get(), Log().raised.Get()) << "the host's own error information";
}

INSTANTIATE_TEST_SUITE_P(
    Convert, HostRefusals,
    ::testing::Values(RefusalCase{"RaisedByTheRun", {"SetAuthor", static_cast<HRESULT>(0x800A1234), "No author"}, false},
                      RefusalCase{"PlainHresult", {"GetSettings", E_ACCESSDENIED, ""}, false},
                      RefusalCase{"ByTheFunctionSet", {"AddEntry", E_OUTOFMEMORY, "Full"}, false},
                      RefusalCase{"TestSetIgnored", {"LoadFromFile 2", E_FAIL, "Bad data"}, true}),
    [](const auto& param) { return std::string(param.param.name); });

// The "," locale, selected for this process by LC_ALL (ctest runs it once so).
TEST_F(ComServer, ReadsNumbersInTheUsersLocale) {
    const char* expected = std::getenv("ORV_EXPECT_DECIMAL");
    char separator[8] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    if (!expected) GTEST_SKIP() << "runs with ORV_EXPECT_DECIMAL set";
    ASSERT_STREQ(separator, expected);

    ASSERT_HRESULT_SUCCEEDED(Convert(SamplePath()));
    const auto precision = std::find_if(Log().settings.begin(), Log().settings.end(),
                                        [](const SettingRow& s) { return s.key == "set_ff#Precision"; });
    ASSERT_NE(precision, Log().settings.end());
    EXPECT_EQ(precision->value, "0.01");
    ASSERT_FALSE(Log().dataSets.empty());
    EXPECT_EQ(Log().dataSets[0].content, std::string("x;y;z\r\n1") + expected + "5;2;3" + expected + "5\r\n2" +
                                             expected + "5;3;5" + expected + "5\r\n4;1;5");
}

// Whatever the bundled examples hold, each conversion ends in success or a
// described error, and every reference comes back.
TEST_F(ComServer, ConvertsTheBundledExamples) {
    std::error_code error;
    const std::filesystem::path folder = SourcePath("examples");
    int converted = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().extension() != ".kvr") continue;
        ComPtr<TargetRun> run(new TargetRun);
        const HRESULT hr = Convert(entry.path().string(), run.Get());
        const RaisedError raised = TakeErrorInfo(hr);
        EXPECT_TRUE(SUCCEEDED(hr) || !raised.description.empty()) << entry.path() << std::hex << hr;
        EXPECT_EQ(run->References(), 1u) << entry.path();
        converted += SUCCEEDED(hr) ? 1 : 0;
    }
    if (error) GTEST_SKIP() << "no bundled examples";
    EXPECT_GT(converted, 0);
}

TEST(Registration, RegistersAndUnregistersTheServer) {
    ASSERT_EQ(Regsvr32("/s /u"), 0u);
    CLSID clsid{};
    EXPECT_FALSE(SUCCEEDED(CLSIDFromProgID(L"ORVConverter.V2Adapter", &clsid)));
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(CLSID_V2Adapter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(object.GetAddressOf())),
              REGDB_E_CLASSNOTREG);

    ASSERT_EQ(Regsvr32("/s"), 0u);
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
    HMODULE dll = LoadLibraryA(DllPath().c_str());
    ASSERT_NE(dll, nullptr);
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    auto getClass = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    ASSERT_TRUE(canUnload && getClass);

    ComPtr<IClassFactory> factory;
    ASSERT_HRESULT_SUCCEEDED(getClass(CLSID_V2Adapter, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())));
    EXPECT_EQ(canUnload(), S_FALSE) << "a factory reference is a lock";
    ComPtr<IUnknown> object;
    ASSERT_HRESULT_SUCCEEDED(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(object.GetAddressOf())));
    factory.Reset();
    EXPECT_EQ(canUnload(), S_FALSE) << "a live object";
    object.Reset();
    EXPECT_EQ(canUnload(), S_OK);
    EXPECT_EQ(getClass(CLSID_IConvertible, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())),
              CLASS_E_CLASSNOTAVAILABLE);
    FreeLibrary(dll);
}

}  // namespace
}  // namespace orvtest

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 1;
    {
        orvtest::HostClasses classes;
        if (orvtest::Regsvr32("/s") != 0) {
            std::fprintf(stderr, "regsvr32 could not register %s\n", orvtest::DllPath().c_str());
        }
        result = RUN_ALL_TESTS();
    }
    CoUninitialize();
    return result;
}
