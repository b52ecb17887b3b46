#include "cli/ConvertedRun.h"

#include "adapter/V2Adapter.h"
#include "cli/LoadAsConvert.h"
#include "common/ComError.h"
#include "host/HostJson.h"

#include <fstream>

namespace orv::cli {

ConvertedRun ConvertRecord(clsRun record, DataHandOver how) {
    const bool files = how == DataHandOver::Files;
    ConvertedRun converted{std::move(record),
                           files ? refhost::ReferenceHost() : refhost::ReferenceHost(refhost::TempFolder::InMemory{}),
                           nullptr};
    converted.run = converted.host.CreateRun();
    V2Adapter adapter(converted.host);
    if (files) adapter.TransferLoadedRun(converted.record, converted.run);
    else adapter.TransferLoadedRun(std::move(converted.record), converted.run);
    return converted;
}

ConvertedRun ConvertRun(const std::string& file) { return ConvertRecord(LoadAsConvert(file)); }

std::vector<std::string> ColumnNames(const ConvertedRun& converted) {
    const auto& train = converted.run->Data(1);
    const std::size_t columns = train.RecordCount() > 0
                                    ? train.Record(0).size()
                                    : static_cast<std::size_t>(std::max(converted.record.NumeroTerminais(), 0)) + 1;
    if (train.FieldNames().size() == columns) return train.FieldNames();
    std::vector<std::string> names;
    for (std::size_t c = 1; c < columns; ++c) names.push_back(std::string("x").append(std::to_string(c)));
    names.push_back("y");
    return names;
}

void WriteRunJsonFile(const std::string& out, const refhost::Run& run, const refhost::ToUtf8& toUtf8) {
    std::ofstream stream(PathArgument(out).Native(), std::ios::binary | std::ios::trunc);
    refhost::WriteRunJson(stream, run, toUtf8);
    stream << '\n';
    stream.close();
    if (!stream) throw ComError(75, "", "Path/File access error: " + out);
}

std::vector<std::string> FieldNameList(const std::string& text, const std::string& separator) {
    std::vector<std::string> names;
    std::string name;
    for (const char c : text + ' ') {
        if (c == ' ' || (separator.size() == 1 && c == separator[0])) {
            if (!name.empty()) names.push_back(std::move(name));
            name.clear();
        } else {
            name += c;
        }
    }
    return names;
}

}  // namespace orv::cli
