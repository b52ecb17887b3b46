// The adapter's host interfaces implemented over the host's COM interfaces.
// Each operation is one early-bound call at its vtable position; a failing
// call raises HostCallError, and every reference taken is released by the
// bridge that holds it.
#pragma once

#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <memory>

#include "V3Host.h"
#include "adapter/HostInterfaces.h"

namespace orv::com {

// The host classes the conversion creates.
inline constexpr CLSID kClsidCatalogueSource = {
    0xE5B574A8, 0x459E, 0x4F84, {0xBF, 0x56, 0x8F, 0xBA, 0x35, 0x3B, 0x1C, 0xC6}};
inline constexpr CLSID kClsidFunctionSet = {
    0x9EAD546B, 0xA9F5, 0x4EBA, {0xA2, 0x89, 0xE5, 0x89, 0x06, 0xA2, 0x2A, 0xAC}};
inline constexpr CLSID kClsidTempFileWriter = {
    0x984848EA, 0xA1D8, 0x4BDA, {0xBE, 0x54, 0x13, 0xE8, 0xB2, 0x76, 0x99, 0x8C}};
inline constexpr CLSID kClsidModel = {
    0xE7970AB4, 0x1E19, 0x460A, {0x94, 0xAA, 0x63, 0x77, 0x37, 0x33, 0xD1, 0x44}};

// The platform's DOMDocument, the class the function-set object is filled from.
// {2933BF90-7B36-11D2-B20E-00C04F983E60}
inline constexpr CLSID kClsidDomDocument = {
    0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// The target run behind the caller's object.
std::shared_ptr<host::ITargetRun> BridgeTargetRun(Microsoft::WRL::ComPtr<IV3TargetRun> run);

// Creates the host's classes from their class GUIDs, one new object per use.
class ComHostFactory final : public host::IHostFactory {
public:
    std::shared_ptr<host::ICatalogueSource> CreateCatalogueSource() override;
    std::shared_ptr<host::IFunctionSetObject> CreateFunctionSetObject() override;
    std::shared_ptr<host::ITempFileWriter> CreateTempFileWriter() override;
    std::shared_ptr<host::IModel> CreateModel() override;
    std::shared_ptr<host::IXmlDocument> CreateXmlDocument() override;
};

}  // namespace orv::com
