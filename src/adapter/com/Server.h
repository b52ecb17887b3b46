// Module state of the server: its own handle, the count of live objects and
// locks that decides DllCanUnloadNow, and the type information that drives
// IDispatch.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace orv::com {

HMODULE ModuleHandle() noexcept;

void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;

// The type information of an interface of the embedded type library.
HRESULT ServerTypeInfo(REFIID iid, ITypeInfo** info) noexcept;

}  // namespace orv::com
