// The hostile corpus: crafted run files and the outcome each must have, read
// from outcomes.txt. Shared by the Linux and the Windows test programs, so it
// uses the standard library only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace orv::hostile {

struct Case {
    std::string name;
    std::int32_t error = 0;  // 0: the conversion succeeds
    // A generated file: the template NAME.tpl with "@@" replaced by `unit`
    // repeated `repeat` times. Big files are kept as recipes, not as data.
    std::size_t repeat = 0;
    std::string unit;
};

// Rows: FILE OUTCOME [REPEAT UNIT], OUTCOME "ok" or an error number; "#"
// starts a comment. UNIT may hold "\r", "\n", "\t", "\0" and "\xHH".
inline std::vector<Case> ReadCases(const std::filesystem::path& table) {
    std::ifstream in(table);
    if (!in) throw std::runtime_error("cannot read " + table.string());
    std::vector<Case> cases;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Case& c = cases.emplace_back();
        std::string outcome, unit;
        fields >> c.name >> outcome >> c.repeat >> unit;
        c.error = outcome == "ok" ? 0 : std::stoi(outcome);
        for (std::size_t i = 0; i < unit.size(); ++i) {
            const char e = unit[i] == '\\' && i + 1 < unit.size() ? unit[++i] : 0;
            if (e == 'x') {
                c.unit += static_cast<char>(std::stoi(unit.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                c.unit += e == 'r' ? '\r' : e == 'n' ? '\n' : e == 't' ? '\t' : e == '0' ? '\0' : e ? e : unit[i];
            }
        }
    }
    return cases;
}

// The case's file: the committed one, or one generated into `scratch`.
inline std::filesystem::path Materialise(const Case& c, const std::filesystem::path& corpus,
                                         const std::filesystem::path& scratch) {
    if (c.repeat == 0) return corpus / c.name;
    std::ifstream in(corpus / (c.name + ".tpl"), std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}, block;
    const std::size_t at = text.find("@@");
    if (at == std::string::npos) throw std::runtime_error(c.name + ".tpl has no @@");
    for (std::size_t i = 0; i < c.repeat; ++i) block += c.unit;
    std::ofstream(scratch / c.name, std::ios::binary | std::ios::trunc) << text.replace(at, 2, block);
    return scratch / c.name;
}

}  // namespace orv::hostile
