// Run files, and the server itself, in a folder whose name holds Greek and
// CJK letters: the ANSI code page (1252 here) has none of them, so only the
// wide API reaches these files.
#include "TableHost.h"

namespace orvtest {
namespace {

// The server there finds its folder, where a version-1.0 upgrade writes,
// through its UTF-16 name; the upgrade's paths reach the host as ANSI text.
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
    wchar_t program[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    const ScratchFolder folder(L"\u03a6\u03ac\u03ba\u03b5\u03bb\u03bf\u03c2 \u8cc7\u6599");  // 7 Greek, 2 CJK letters
    fs::copy_file(fs::path(program).parent_path() / L"ORVConverter.dll", folder.path / L"ORVConverter.dll");
    HMODULE copy = LoadLibraryW((folder.path / L"ORVConverter.dll").c_str());
    ASSERT_NE(copy, nullptr);
    using GetClass = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto getClass = reinterpret_cast<GetClass>(reinterpret_cast<void*>(GetProcAddress(copy, "DllGetClassObject")));
    ASSERT_NE(getClass, nullptr);
    {
        ComPtr<IClassFactory> factory;
        ComPtr<_IConvertible> adapter;
        ASSERT_HRESULT_SUCCEEDED(getClass(CLSID_V2Adapter, IID_IClassFactory, &factory));
        ASSERT_HRESULT_SUCCEEDED(factory->CreateInstance(nullptr, IID__IConvertible, &adapter));
        for (const auto& c : cases) {
            SCOPED_TRACE(c.example ? c.example : "missing");
            ResetLog();
            if (c.example) fs::copy_file(DataPath(c.example), folder.path / c.name);
            EXPECT_EQ(ConvertFresh(adapter.Get(), folder.path / c.name), c.result);
            const auto& calls = g_log.calls;
            EXPECT_TRUE(c.key ? std::count(calls.begin(), calls.end(), c.key) == 1 : calls.empty()) << "the host's calls";
        }
    }
    FreeLibrary(copy);
    EXPECT_TRUE(fs::exists(folder.path / L"_kvr_temp_tmp_28214855245.kvr"));
    EXPECT_FALSE(fs::exists(folder.path / L"traintemp.tmp") || fs::exists(folder.path / L"valtemp.tmp"));
    const auto train = std::find_if(g_log.calls.begin(), g_log.calls.end(),
                                    [](const std::string& c) { return c.starts_with("PutKeyedValue data train_Path "); });
    ASSERT_NE(train, g_log.calls.end());
    EXPECT_TRUE(train->ends_with("\\??????? ??\\traintemp.tmp 8")) << *train;
}

}  // namespace
}  // namespace orvtest
