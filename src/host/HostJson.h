// JSON views of host values and of a reference run, shared by the recording
// host and the command-line tool. Texts are ANSI bytes inside the core and
// UTF-8 in JSON.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "adapter/HostInterfaces.h"
#include "host/ReferenceHost.h"

namespace orv::refhost {

using Json = nlohmann::ordered_json;

// Windows-1252 bytes to UTF-8 (undefined bytes map to U+FFFD).
std::string AnsiToUtf8(const std::string& ansi);

// Adds "type", "vt" ("I4", "I2", "R8" or "BSTR") and "value" to object.
void AddSettingValue(Json& object, const host::SettingValue& value);
Json EntryJson(const host::FunctionEntry& entry);
Json RunJson(const Run& run);

}  // namespace orv::refhost
