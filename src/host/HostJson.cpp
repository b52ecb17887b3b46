#include "host/HostJson.h"

namespace orv::refhost {
namespace {

Json DataSetJson(const DataSet& data, std::int32_t which, const ToUtf8& toUtf8) {
    Json j;
    j["which"] = which;
    j["loaded"] = data.Loaded();
    j["separator"] = data.Separator();
    Json names = Json::array();
    for (const auto& n : data.FieldNames()) names.push_back(toUtf8(n));
    j["fieldNames"] = std::move(names);
    Json records = Json::array();
    for (std::size_t r = 0; r < data.RecordCount(); ++r) records.push_back(data.Record(r));
    j["records"] = std::move(records);
    return j;
}

}  // namespace

void AddSettingValue(Json& object, const host::SettingValue& value, const ToUtf8& toUtf8) {
    object["type"] = value.typeCode;
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::int32_t>) {
                object["vt"] = "I4";
                object["value"] = v;
            } else if constexpr (std::is_same_v<T, std::int16_t>) {
                object["vt"] = "I2";
                object["value"] = v;
            } else if constexpr (std::is_same_v<T, double>) {
                object["vt"] = "R8";
                object["value"] = v;
            } else {
                object["vt"] = "BSTR";
                object["value"] = toUtf8(v);
            }
        },
        value.value);
}

Json EntryJson(const host::FunctionEntry& e, const ToUtf8& toUtf8) {
    return Json{{"code", e.code},
                {"count", e.count},
                {"attr3", e.attr3},
                {"reserved1", e.reserved1},
                {"selected", e.selected},
                {"reserved2", e.reserved2},
                {"attr0", toUtf8(e.attr0)},
                {"key", toUtf8(e.key)},
                {"content2", toUtf8(e.content2)},
                {"content1", toUtf8(e.content1)},
                {"spare", toUtf8(e.spare)}};
}

Json RunJson(const Run& run, const ToUtf8& toUtf8) {
    Json j;
    j["key"] = toUtf8(run.Key());
    j["author"] = toUtf8(run.Author());
    j["comments"] = toUtf8(run.Comments());
    Json entries = Json::array();
    if (const auto* set = run.FunctionSet())
        for (const auto& e : set->Entries()) entries.push_back(EntryJson(e, toUtf8));
    j["functionSet"] = std::move(entries);
    Json settings = Json::object();
    for (const auto& s : run.Settings().All()) {
        Json v;
        AddSettingValue(v, s.value, toUtf8);
        settings[toUtf8(s.key)] = std::move(v);
    }
    j["settings"] = std::move(settings);
    j["dataSets"] = Json::array({DataSetJson(run.Data(1), 1, toUtf8), DataSetJson(run.Data(2), 2, toUtf8)});
    Json models = Json::array();
    for (const auto& m : run.Models().Models()) {
        const auto& s = m->Stats();
        models.push_back(Json{{"number", m->GetNumber()},
                              {"flagA", m->FlagA()},
                              {"flagB", m->FlagB()},
                              {"program", m->Program()},
                              {"statistics",
                               {{"trainBestFitness", s.trainBestFitness},
                                {"trainRSquare", s.trainRSquare},
                                {"trainMaxFitness", s.trainMaxFitness},
                                {"testBestFitness", s.testBestFitness},
                                {"testRSquare", s.testRSquare},
                                {"testMaxFitness", s.testMaxFitness}}}});
    }
    j["models"] = std::move(models);
    j["selectedModel"] = run.Models().Selected();
    return j;
}

}  // namespace orv::refhost
