// Helpers shared by the transfers: the host's catalogue of native functions,
// the leading number of a terminal, and the version-3 codes of legacy settings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "adapter/HostInterfaces.h"

namespace orv::V3Helpers {

// Reads the host's "FFnatives" section into two parallel arrays: one entry
// and one symbol per child of the section. A child without six attributes has
// an empty symbol. More children than "function" elements raise 9; a
// non-numeric attribute at position 3 or 4 raises 13.
void LoadFunctionCatalogue(host::IHostFactory& factory, std::vector<host::FunctionEntry>& entries,
                           std::vector<std::string>& symbols);

// The number made of the leading digits of text ("12+" gives 12); 13 when
// the text does not start with a digit, 6 when the number exceeds 32 bits.
std::int32_t LeadingNumber(std::string_view text);

// Legacy separator code (0 space, 1 ";", 2 tab, 3 ",") to the version-3 code
// (0 space, 1 tab, 2 ",", 3 ";"); unknown codes give 0.
std::int32_t V3SeparatorCode(std::int32_t legacyCode);

// Legacy error type (0 Relative, 1 Absolute, 2 Rsquare, 3 HitsNumber) to the
// version-3 value.
std::int32_t V3ErrorTypeCode(std::int32_t legacyCode);

}  // namespace orv::V3Helpers
