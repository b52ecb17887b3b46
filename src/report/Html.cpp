#include "report/Html.h"

#include <cmath>
#include <cstdio>

#include "common/Conversions.h"

namespace orv::report {

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string UrlEscape(std::string_view name) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string NumberText(double value) { return std::isfinite(value) ? DoubleToText(value, ".") : "n/a"; }

std::string ShortNumber(double value) {
    if (!std::isfinite(value)) return "n/a";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", value);
    return buf;
}

}  // namespace orv::report
