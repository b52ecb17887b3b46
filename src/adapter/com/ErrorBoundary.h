// Where the core's exceptions meet COM. Inside the server every failure is a
// ComError; at each exported method one boundary turns it into an HRESULT and
// the thread's error information, and nothing else leaves.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>

#include "common/ComError.h"

namespace orv::com {

// The source a caller sees for an error that names none.
inline constexpr const char* kDefaultSource = "ORVConverter.V2Adapter";

// A host call that failed: its HRESULT and its error information travel
// through the core as a ComError and leave the server unchanged. The number is
// the one a script would see: n for 0x800A0000|n, else the HRESULT itself.
class HostCallError : public ComError {
public:
    HostCallError(HRESULT hr, Microsoft::WRL::ComPtr<IErrorInfo> info);
    HRESULT Result() const noexcept { return result_; }
    IErrorInfo* Info() const noexcept { return info_.Get(); }

private:
    HRESULT result_;
    Microsoft::WRL::ComPtr<IErrorInfo> info_;
};

// Raises HostCallError when hr is a failure, taking the error information
// when the object says it supplies it for that interface.
void CheckHost(HRESULT hr, IUnknown* object, REFIID iid);

// The HRESULT of error number n raised by the server: 0x800A0000|n for n in
// 0..65535; a negative number is an HRESULT already.
HRESULT HresultOfNumber(std::int32_t number) noexcept;

// Sets the thread's error information (description, and the source or the
// default one) and answers the HRESULT of the number.
HRESULT ReportError(std::int32_t number, const std::string& source, const std::string& description) noexcept;

// Call inside a catch block: reports the exception being handled.
HRESULT ReportCurrentException() noexcept;

// Runs f; success clears the error information, any failure is reported.
template <class F>
HRESULT ComBoundary(F&& f) noexcept {
    try {
        SetErrorInfo(0, nullptr);
        f();
        return S_OK;
    } catch (...) {
        return ReportCurrentException();
    }
}

}  // namespace orv::com
