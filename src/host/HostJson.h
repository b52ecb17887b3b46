// JSON views of host values and of a reference run, shared by the recording
// host and the command-line tool. Texts are ANSI bytes inside the core and
// UTF-8 in JSON.
#pragma once

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>

#include "adapter/HostInterfaces.h"
#include "host/Encoding.h"
#include "host/ReferenceHost.h"

namespace orv::refhost {

using Json = nlohmann::ordered_json;

// Adds "type", "vt" ("I4", "I2", "R8" or "BSTR") and "value" to object.
void AddSettingValue(Json& object, const host::SettingValue& value, const ToUtf8& toUtf8);
Json EntryJson(const host::FunctionEntry& entry, const ToUtf8& toUtf8);
// The run as one document; without the data sets' records when asked.
Json RunJson(const Run& run, const ToUtf8& toUtf8, bool withRecords = true);

// The same document written as it is made, laid out as Json::dump(2) lays
// it out except that each record of a data set takes one line. The records
// never become a document of their own, so a data set of millions of
// numbers costs no more than its text.
void WriteRunJson(std::ostream& out, const Run& run, const ToUtf8& toUtf8);

}  // namespace orv::refhost
