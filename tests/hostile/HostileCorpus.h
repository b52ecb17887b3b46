// The hostile corpus: crafted run files and the outcome each must have, read
// from outcomes.txt. Shared by the Linux and the Windows test programs, so it
// uses the standard library only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
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

// "\r", "\n", "\t", "\0", "\\" and "\xHH" in a table field.
inline std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c == '0' ? '\0' : c;
        }
    }
    return out;
}

// Rows: FILE OUTCOME [REPEAT UNIT], OUTCOME "ok" or an error number; "#" starts a comment.
inline std::vector<Case> ReadCases(const std::filesystem::path& table) {
    std::ifstream in(table);
    if (!in) throw std::runtime_error("cannot read " + table.string());
    std::vector<Case> cases;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Case c;
        std::string outcome, unit;
        fields >> c.name >> outcome >> c.repeat >> unit;
        c.error = outcome == "ok" ? 0 : std::stoi(outcome);
        c.unit = Unescape(unit);
        cases.push_back(c);
    }
    return cases;
}

inline std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The case's file: the committed one, or one generated into `scratch`.
inline std::filesystem::path Materialise(const Case& c, const std::filesystem::path& corpus,
                                         const std::filesystem::path& scratch) {
    if (c.repeat == 0) return corpus / c.name;
    const std::string tpl = ReadBytes(corpus / (c.name + ".tpl"));
    const std::size_t at = tpl.find("@@");
    if (at == std::string::npos) throw std::runtime_error(c.name + ".tpl has no @@");
    const auto file = scratch / c.name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(tpl.data(), static_cast<std::streamsize>(at));
    std::string block;
    for (std::size_t i = 0; i < c.repeat; ++i) block += c.unit;
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
    out.write(tpl.data() + at + 2, static_cast<std::streamsize>(tpl.size() - at - 2));
    return file;
}

}  // namespace orv::hostile
