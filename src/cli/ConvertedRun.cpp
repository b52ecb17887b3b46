#include "cli/ConvertedRun.h"

#include "adapter/V2Adapter.h"
#include "cli/LoadAsConvert.h"

namespace orv::cli {

ConvertedRun ConvertRun(const std::string& file) {
    ConvertedRun converted{LoadAsConvert(file), {}, nullptr};
    converted.run = converted.host.CreateRun();
    V2Adapter(converted.host).TransferLoadedRun(converted.record, converted.run);
    return converted;
}

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

}  // namespace orv::cli
