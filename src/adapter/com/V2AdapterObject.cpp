#include "V2AdapterObject.h"

#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include <wrl/client.h>

#include "ErrorBoundary.h"
#include "HostBridges.h"
#include "Server.h"
#include "adapter/V2Adapter.h"
#include "run_record/clsRun.h"

using Microsoft::WRL::ComPtr;

namespace orv::com {

HRESULT V2AdapterObject::Create(REFIID iid, void** object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    ITypeInfo* typeInfo = nullptr;
    const HRESULT loaded = ServerTypeInfo(IID__IConvertible, &typeInfo);
    if (FAILED(loaded)) return loaded;
    auto* adapter = new (std::nothrow) V2AdapterObject(typeInfo);
    if (!adapter) {
        typeInfo->Release();
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = adapter->QueryInterface(iid, object);
    adapter->Release();
    return hr;
}

V2AdapterObject::V2AdapterObject(ITypeInfo* typeInfo) noexcept : typeInfo_(typeInfo) { ObjectCreated(); }

V2AdapterObject::~V2AdapterObject() {
    typeInfo_->Release();
    ObjectDestroyed();
}

HRESULT V2AdapterObject::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    // _V2Adapter adds nothing to IDispatch, so the one dispatch vtable serves
    // it, IDispatch and _IConvertible alike.
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID__IConvertible) ||
        IsEqualIID(iid, IID__V2Adapter)) {
        *object = static_cast<_IConvertible*>(this);
    } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
        *object = static_cast<ISupportErrorInfo*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG V2AdapterObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG V2AdapterObject::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT V2AdapterObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT V2AdapterObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    typeInfo_->AddRef();
    *info = typeInfo_;
    return S_OK;
}

HRESULT V2AdapterObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return DispGetIDsOfNames(typeInfo_, names, count, ids);
}

HRESULT V2AdapterObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* exception, UINT* argError) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return DispInvoke(static_cast<_IConvertible*>(this), typeInfo_, id, flags, params, result, exception,
                      argError);
}

HRESULT V2AdapterObject::Convert(BSTR pRunFilePath, IDispatch** pRun) {
    return ComBoundary([&] {
        // The path goes on in UTF-16 as it came: through the ANSI code page a
        // name in another script would lose its letters.
        const std::wstring path(pRunFilePath ? pRunFilePath : L"", SysStringLen(pRunFilePath));
        clsRun loaded = V2Adapter::LoadForConversion(std::filesystem::path(path));
        // Only a loaded file gets as far as the caller's object. Its reference
        // is left as it is; without the target run interface it reaches the
        // adapter as none, which refuses it with a type mismatch.
        std::shared_ptr<host::ITargetRun> target;
        ComPtr<IV3TargetRun> run;
        if (pRun && *pRun &&
            SUCCEEDED((*pRun)->QueryInterface(IID_IV3TargetRun, reinterpret_cast<void**>(run.GetAddressOf())))) {
            target = BridgeTargetRun(std::move(run));
        }
        ComHostFactory factory;
        V2Adapter(factory).TransferLoadedRun(std::move(loaded), target);
    });
}

HRESULT V2AdapterObject::InterfaceSupportsErrorInfo(REFIID iid) {
    const bool ours =
        IsEqualIID(iid, IID__IConvertible) || IsEqualIID(iid, IID__V2Adapter) || IsEqualIID(iid, IID_IDispatch);
    return ours ? S_OK : S_FALSE;
}

}  // namespace orv::com
