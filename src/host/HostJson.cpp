#include "host/HostJson.h"

namespace orv::refhost {
namespace {

// Code points of 0x80..0x9F in Windows-1252; 0 where the code page has none.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

Json DataSetJson(const DataSet& data, std::int32_t which) {
    Json j;
    j["which"] = which;
    j["loaded"] = data.Loaded();
    j["separator"] = data.Separator();
    Json names = Json::array();
    for (const auto& n : data.FieldNames()) names.push_back(AnsiToUtf8(n));
    j["fieldNames"] = std::move(names);
    Json records = Json::array();
    for (std::size_t r = 0; r < data.RecordCount(); ++r) records.push_back(data.Record(r));
    j["records"] = std::move(records);
    return j;
}

}  // namespace

std::string AnsiToUtf8(const std::string& ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (const char ch : ansi) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) out += ch;
        else if (b < 0xA0) AppendUtf8(out, kHighControls[b - 0x80] ? kHighControls[b - 0x80] : char16_t{0xFFFD});
        else AppendUtf8(out, b);
    }
    return out;
}

void AddSettingValue(Json& object, const host::SettingValue& value) {
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
                object["value"] = AnsiToUtf8(v);
            }
        },
        value.value);
}

Json EntryJson(const host::FunctionEntry& e) {
    return Json{{"code", e.code},
                {"count", e.count},
                {"attr3", e.attr3},
                {"reserved1", e.reserved1},
                {"selected", e.selected},
                {"reserved2", e.reserved2},
                {"attr0", AnsiToUtf8(e.attr0)},
                {"key", AnsiToUtf8(e.key)},
                {"content2", AnsiToUtf8(e.content2)},
                {"content1", AnsiToUtf8(e.content1)},
                {"spare", AnsiToUtf8(e.spare)}};
}

Json RunJson(const Run& run) {
    Json j;
    j["key"] = AnsiToUtf8(run.Key());
    j["author"] = AnsiToUtf8(run.Author());
    j["comments"] = AnsiToUtf8(run.Comments());
    Json entries = Json::array();
    if (const auto* set = run.FunctionSet())
        for (const auto& e : set->Entries()) entries.push_back(EntryJson(e));
    j["functionSet"] = std::move(entries);
    Json settings = Json::object();
    for (const auto& s : run.Settings().All()) {
        Json v;
        AddSettingValue(v, s.value);
        settings[AnsiToUtf8(s.key)] = std::move(v);
    }
    j["settings"] = std::move(settings);
    j["dataSets"] = Json::array({DataSetJson(run.Data(1), 1), DataSetJson(run.Data(2), 2)});
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
