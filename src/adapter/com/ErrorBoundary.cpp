#include "ErrorBoundary.h"

#include <new>
#include <utility>

#include "ComText.h"
#include "ORVConverter.h"

using Microsoft::WRL::ComPtr;

namespace orv::com {

namespace {

std::int32_t NumberOfResult(HRESULT hr) {
    if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) return hr & 0xFFFF;
    return static_cast<std::int32_t>(hr);
}

std::string DescriptionOf(IErrorInfo* info) {
    BSTR text = nullptr;
    std::string description;
    if (info && SUCCEEDED(info->GetDescription(&text))) description = AnsiFromBstr(text);
    SysFreeString(text);
    return description.empty() ? "Automation error" : description;
}

std::string SourceOf(IErrorInfo* info) {
    BSTR text = nullptr;
    std::string source;
    if (info && SUCCEEDED(info->GetSource(&text))) source = AnsiFromBstr(text);
    SysFreeString(text);
    return source;
}

}  // namespace

HostCallError::HostCallError(HRESULT hr, ComPtr<IErrorInfo> info)
    : ComError(NumberOfResult(hr), SourceOf(info.Get()), DescriptionOf(info.Get())),
      result_(hr),
      info_(std::move(info)) {}

void CheckHost(HRESULT hr, IUnknown* object, REFIID iid) {
    if (SUCCEEDED(hr)) return;
    // Taken in any case, so that a stale one cannot be mistaken for ours later.
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK) info.Reset();
    ComPtr<ISupportErrorInfo> supports;
    if (!object || FAILED(object->QueryInterface(IID_PPV_ARGS(&supports))) ||
        supports->InterfaceSupportsErrorInfo(iid) != S_OK) {
        info.Reset();
    }
    throw HostCallError(hr, std::move(info));
}

HRESULT HresultOfNumber(std::int32_t number) noexcept {
    if (number >= 0 && number <= 0xFFFF) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
    if (number < 0) return static_cast<HRESULT>(number);
    return E_FAIL;
}

HRESULT ReportError(std::int32_t number, const std::string& source, const std::string& description) noexcept {
    const HRESULT hr = HresultOfNumber(number);
    try {
        ComPtr<ICreateErrorInfo> create;
        ComPtr<IErrorInfo> info;
        if (FAILED(CreateErrorInfo(&create))) return hr;
        Bstr sourceText(source.empty() ? std::string(kDefaultSource) : source);
        Bstr descriptionText(description);
        create->SetGUID(IID__IConvertible);
        create->SetSource(sourceText.Get());
        create->SetDescription(descriptionText.Get());
        if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
    } catch (...) {
        // Out of memory while describing the error: the code alone must do.
    }
    return hr;
}

HRESULT ReportCurrentException() noexcept {
    try {
        try {
            throw;
        } catch (const HostCallError& e) {
            SetErrorInfo(0, e.Info());
            return e.Result();
        } catch (const ComError& e) {
            return ReportError(e.Number(), e.Source(), e.Description());
        } catch (...) {
            RethrowAsComError();
        }
    } catch (const ComError& e) {
        return ReportError(e.Number(), e.Source(), e.Description());
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace orv::com
