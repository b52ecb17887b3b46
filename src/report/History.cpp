#include "report/History.h"

#include <cmath>

#include "common/ComError.h"
#include "common/Conversions.h"

namespace orv::report {
namespace {

bool ReadEntryNumber(std::string_view text, double& out) {
    // Either decimal mark: rewrite "," to "." before the conversion.
    std::string copy(text);
    for (char& c : copy)
        if (c == ',') c = '.';
    if (!IsNumericText(copy, ".")) return false;
    try {
        out = TextToDouble(copy, ".");
    } catch (const ComError&) {
        return false;  // outside the range of a Double
    }
    return std::isfinite(out);
}

}  // namespace

History ParseEvolveHistory(const std::string& text) {
    History h;
    std::string_view rest(text);
    while (!rest.empty()) {
        const auto at = rest.find('@');
        const std::string_view entry = TrimSpaces(rest.substr(0, at));
        rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
        if (entry.empty()) continue;
        const auto semi = entry.find(';');
        HistoryEntry e{};
        if (semi != std::string_view::npos && ReadEntryNumber(entry.substr(0, semi), e.generation) &&
            ReadEntryNumber(entry.substr(semi + 1), e.fitness))
            h.entries.push_back(e);
        else
            ++h.unreadable;
    }
    return h;
}

}  // namespace orv::report
