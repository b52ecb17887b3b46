// The table host alone, without the server's libraries or any header
// generated from our IDL: every run converts with each argument in its row's
// shape, and every row of the tables is tried.
#include <gtest/gtest.h>

#include "../TableHost.h"

// The converter's interface; outside the unnamed namespace, as the compiler
// would otherwise take the missing implementation for the only one.
struct Convertible : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Convert(BSTR path, IDispatch** run) = 0;
};

namespace {

using namespace tablehost;

// The converter's own entry: Convert(path by value, run by reference).
const CLSID kAdapter = {0xC33C13BF, 0x6EFC, 0x4FC4, {0x88, 0x43, 0x7A, 0x2D, 0xD9, 0xDE, 0xCE, 0x66}};
const IID kConvertible = {0x55320218, 0x67D8, 0x42A2, {0xB9, 0xB8, 0x29, 0xA6, 0x81, 0xB4, 0x39, 0x41}};

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
    std::set<std::string> rowsCalled;
    for (const auto& path : runs) {
        SCOPED_TRACE(path.string());
        Convertible* adapter = nullptr;
        ASSERT_HRESULT_SUCCEEDED(adapters->CreateInstance(nullptr, kConvertible, reinterpret_cast<void**>(&adapter)));
        ResetLog();
        EXPECT_EQ(ConvertFresh(adapter, path), S_OK) << ErrorText();
        rowsCalled.insert(g_log.rowsCalled.begin(), g_log.rowsCalled.end());
        adapter->Release();
    }
    adapters->Release();
    std::vector<std::string> neverCalled;
    for (const Interface& table : TheTables().interfaces)
        for (const Row& row : table.rows)
            if (!rowsCalled.count(table.name + "." + row.operation)) neverCalled.push_back(table.name + "." + row.operation);
    EXPECT_EQ(neverCalled, std::vector<std::string>{}) << "every row is tried";
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 1;
    {
        const HostClasses classes;
        result = RUN_ALL_TESTS();
    }
    CoUninitialize();
    return result;
}
