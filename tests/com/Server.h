// The server as the Windows tests reach it, with the table host behind it.
#pragma once

#include <wrl/client.h>

#include "ORVConverter.h"
#include "TableHost.h"

namespace orvtest {

using namespace tablehost;
using Microsoft::WRL::ComPtr;

inline Microsoft::WRL::ComPtr<_IConvertible> NewAdapter() {
    Microsoft::WRL::ComPtr<_IConvertible> adapter;
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_V2Adapter, nullptr, CLSCTX_INPROC_SERVER, IID__IConvertible, &adapter));
    return adapter;
}

// The failure of a raised error number.
constexpr HRESULT Raised(unsigned number) { return static_cast<HRESULT>(0x800A0000u | number); }

}  // namespace orvtest
