// A class factory that lives as long as the test program, for host classes
// registered in-process with CoRegisterClassObject; only creation varies.
#pragma once

#include <windows.h>

class StaticFactory : public IClassFactory {
public:
    virtual ~StaticFactory() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        const bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory);
        *out = known ? this : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        return outer ? CLASS_E_NOAGGREGATION : Create(iid, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

protected:
    virtual HRESULT Create(REFIID iid, void** out) = 0;
};
