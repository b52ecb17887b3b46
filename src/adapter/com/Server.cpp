// The DLL's entry points: class factory, unload test and self-registration.

#include <windows.h>
#include <olectl.h>

#include <mutex>
#include <string>

#include <wrl/client.h>

#include "ORVConverter.h"
#include "Server.h"
#include "V2AdapterObject.h"

using Microsoft::WRL::ComPtr;

namespace orv::com {

namespace {

HMODULE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;

std::mutex g_typeLibMutex;
ComPtr<ITypeLib> g_typeLib;

constexpr const wchar_t* kProgId = L"ORVConverter.V2Adapter";
constexpr const wchar_t* kClassName = L"V2Adapter";

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

HRESULT LoadServerTypeLib(ITypeLib** lib) noexcept {
    std::lock_guard<std::mutex> lock(g_typeLibMutex);
    if (!g_typeLib) {
        const std::wstring path = ModulePath();
        if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
        const HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, g_typeLib.GetAddressOf());
        if (FAILED(hr)) return hr;
    }
    return g_typeLib.CopyTo(lib);
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

LSTATUS SetText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY handle = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &handle, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return status;
}

LSTATUS DeleteTree(const std::wstring& key) {
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
        return ERROR_SUCCESS;
    }
    return status;
}

// Removes the type library under the identity it was registered with: the
// embedded library's own version, locale and syskind (SYS_WIN32 in the x86
// build), so that each build takes back exactly its own keys.
HRESULT UnregisterServerTypeLib() noexcept {
    ComPtr<ITypeLib> lib;
    TLIBATTR* attributes = nullptr;
    if (FAILED(LoadServerTypeLib(lib.GetAddressOf())) || FAILED(lib->GetLibAttr(&attributes))) {
        return UnRegisterTypeLib(LIBID_ORVConverter, 1, 0, LOCALE_NEUTRAL, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    }
    const TLIBATTR identity = *attributes;
    lib->ReleaseTLibAttr(attributes);
    return UnRegisterTypeLib(identity.guid, identity.wMajorVerNum, identity.wMinorVerNum, identity.lcid,
                             identity.syskind);
}

class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // A static object: its references are the server's locks.
    ULONG STDMETHODCALLTYPE AddRef() override {
        LockServer(TRUE);
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        LockServer(FALSE);
        return 1;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return V2AdapterObject::Create(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&g_locks);
        } else {
            InterlockedDecrement(&g_locks);
        }
        return S_OK;
    }
};

ClassFactory g_factory;

}  // namespace

HMODULE ModuleHandle() noexcept { return g_module; }
void ObjectCreated() noexcept { InterlockedIncrement(&g_objects); }
void ObjectDestroyed() noexcept { InterlockedDecrement(&g_objects); }

HRESULT ServerTypeInfo(REFIID iid, ITypeInfo** info) noexcept {
    ComPtr<ITypeLib> lib;
    const HRESULT hr = LoadServerTypeLib(lib.GetAddressOf());
    if (FAILED(hr)) return hr;
    return lib->GetTypeInfoOfGuid(iid, info);
}

}  // namespace orv::com

using namespace orv::com;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_V2Adapter)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() {
    if (g_objects != 0 || g_locks != 0) return S_FALSE;
    std::lock_guard<std::mutex> lock(g_typeLibMutex);
    g_typeLib.Reset();
    return S_OK;
}

STDAPI DllRegisterServer() {
    std::wstring path = ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    const std::wstring clsid = GuidText(CLSID_V2Adapter);
    const std::wstring classKey = L"CLSID\\" + clsid;
    const LSTATUS failures[] = {
        SetText(classKey, nullptr, kClassName),
        SetText(classKey + L"\\InprocServer32", nullptr, path),
        SetText(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
        SetText(classKey + L"\\ProgID", nullptr, kProgId),
        SetText(classKey + L"\\TypeLib", nullptr, GuidText(LIBID_ORVConverter)),
        SetText(classKey + L"\\Version", nullptr, L"1.0"),
        SetText(kProgId, nullptr, kClassName),
        SetText(std::wstring(kProgId) + L"\\CLSID", nullptr, clsid),
    };
    for (LSTATUS status : failures) {
        if (status != ERROR_SUCCESS) return SELFREG_E_CLASS;
    }
    ComPtr<ITypeLib> lib;
    if (FAILED(LoadServerTypeLib(lib.GetAddressOf()))) return SELFREG_E_TYPELIB;
    if (FAILED(RegisterTypeLib(lib.Get(), path.data(), nullptr))) return SELFREG_E_TYPELIB;
    return S_OK;
}

STDAPI DllUnregisterServer() {
    const bool classGone = DeleteTree(L"CLSID\\" + GuidText(CLSID_V2Adapter)) == ERROR_SUCCESS;
    const bool progIdGone = DeleteTree(kProgId) == ERROR_SUCCESS;
    const HRESULT typeLib = UnregisterServerTypeLib();
    const bool typeLibGone = SUCCEEDED(typeLib) || typeLib == TYPE_E_REGISTRYACCESS || typeLib == TYPE_E_CANTLOADLIBRARY;
    if (!classGone || !progIdGone) return SELFREG_E_CLASS;
    return typeLibGone ? S_OK : SELFREG_E_TYPELIB;
}
