// The creatable class V2Adapter: the conversion behind _IConvertible::Convert,
// early bound or through IDispatch (which its type library drives). Its
// default interface _V2Adapter has no members of its own, so the object's one
// IDispatch serves Convert to late-bound callers such as scripts.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "ORVConverter.h"

namespace orv::com {

class V2AdapterObject final : public _IConvertible, public ISupportErrorInfo {
public:
    static HRESULT Create(REFIID iid, void** object) noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // _IConvertible
    HRESULT STDMETHODCALLTYPE Convert(BSTR pRunFilePath, IDispatch** pRun) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

private:
    explicit V2AdapterObject(ITypeInfo* typeInfo) noexcept;
    ~V2AdapterObject();

    LONG references_ = 1;
    ITypeInfo* typeInfo_;
};

}  // namespace orv::com
