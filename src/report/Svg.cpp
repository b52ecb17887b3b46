#include "report/Svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "report/Html.h"

namespace orv::report {
namespace {

constexpr double kWidth = 760;
constexpr double kHeight = 300;
constexpr double kLeft = 72;
constexpr double kRight = 32;  // room for half of a six-digit tick label
constexpr double kTop = 44;
constexpr double kBottom = 52;
constexpr double kPlotH = kHeight - kTop - kBottom;
// More points than this and markers would merge into a band.
constexpr std::size_t kMaxMarkers = 300;
// Beyond this many points a markers-only series is drawn as a line, and lines
// keep only what each pixel column shows, so that big data sets give small pages.
constexpr std::size_t kMaxPoints = 2000;

std::string N(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

// Rough width of a label at the charts' 12-unit font, for laying out legends.
double TextWidth(const std::string& utf8) {
    std::size_t chars = 0;
    for (const char c : utf8) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return 7.0 * static_cast<double>(chars);
}

std::string SvgOpen(double w, double h, const std::string& title, const char* cls) {
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"" + std::string(cls) + "\" viewBox=\"0 0 " + N(w) +
           " " + N(h) + "\" width=\"" + N(w) + "\" height=\"" + N(h) +
           "\" font-family=\"sans-serif\" font-size=\"12\" role=\"img\" aria-label=\"" + HtmlEscape(title) +
           "\"><title>" + HtmlEscape(title) + "</title>";
}

std::string Text(double x, double y, const std::string& text, const char* anchor, const std::string& extra = "") {
    return "<text x=\"" + N(x) + "\" y=\"" + N(y) + "\" text-anchor=\"" + anchor + "\"" + extra + ">" +
           HtmlEscape(text) + "</text>";
}

std::string Line(double x1, double y1, double x2, double y2, const std::string& stroke, const std::string& extra = "") {
    return "<line x1=\"" + N(x1) + "\" y1=\"" + N(y1) + "\" x2=\"" + N(x2) + "\" y2=\"" + N(y2) + "\" stroke=\"" +
           stroke + "\"" + extra + "/>";
}

struct Range {
    double lo = 0;
    double hi = 0;
    bool any = false;
    void Add(double v) {
        if (!std::isfinite(v)) return;
        lo = any ? std::min(lo, v) : v;
        hi = any ? std::max(hi, v) : v;
        any = true;
    }
};

// Ticks for an axis, falling back to the bare range when no round steps fit.
std::vector<double> AxisTicks(const Range& r, int maxTicks, double minStep) {
    auto ticks = r.any ? NiceTicks(r.lo, r.hi, maxTicks, minStep) : NiceTicks(0, 1, maxTicks, minStep);
    if (ticks.size() < 2) ticks = {r.any ? r.lo : 0, r.any && r.hi > r.lo ? r.hi : (r.any ? r.lo : 0) + 1};
    return ticks;
}

struct Scale {
    double d0, d1, p0, p1;
    double operator()(double v) const { return p0 + (v - d0) / (d1 - d0) * (p1 - p0); }
};

bool HasLine(const Series& s) { return s.style != SeriesStyle::Markers || s.points.size() > kMaxPoints; }
bool HasMarkers(const Series& s) {
    return (s.style == SeriesStyle::Markers && s.points.size() <= kMaxPoints) ||
           (s.style == SeriesStyle::LineAndMarkers && s.points.size() <= kMaxMarkers);
}

// The series' points as polyline runs, split where a point is not finite.
std::string Polylines(const Series& s, const Scale& sx, const Scale& sy) {
    std::string out;
    std::string run;
    std::size_t count = 0;
    auto add = [&](double x, double y) {
        run += N(x) + ',' + N(y) + ' ';
        ++count;
    };
    // Points that fall in one pixel column, for thinning.
    const bool thin = s.points.size() > kMaxPoints;
    struct Column {
        double x = 0, first = 0, lo = 0, hi = 0, last = 0;
        bool open = false;
    } col;
    auto closeColumn = [&] {
        if (!col.open) return;
        add(col.x, col.first);
        if (col.lo != col.first && col.lo != col.last) add(col.x, col.lo);
        if (col.hi != col.first && col.hi != col.last) add(col.x, col.hi);
        if (col.last != col.first) add(col.x, col.last);
        col.open = false;
    };
    auto flush = [&] {
        closeColumn();
        if (count > 1)
            out += "<polyline fill=\"none\" stroke=\"" + s.color +
                   "\" stroke-width=\"1.8\" stroke-linejoin=\"round\" points=\"" + run + "\"/>";
        run.clear();
        count = 0;
    };
    double lastY = 0;
    bool any = false;
    for (const Point& p : s.points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            flush();
            any = false;
            continue;
        }
        const double x = sx(p.x), y = sy(p.y);
        if (s.style == SeriesStyle::Steps && any) {
            if (thin && col.open && std::floor(x) == std::floor(col.x)) {
                col.lo = std::min(col.lo, lastY), col.hi = std::max(col.hi, lastY);
            } else if (!thin) {
                add(x, lastY);
            }
        }
        if (!thin) {
            add(x, y);
        } else if (col.open && std::floor(x) == std::floor(col.x)) {
            col.lo = std::min(col.lo, y), col.hi = std::max(col.hi, y), col.last = y;
        } else {
            closeColumn();
            if (s.style == SeriesStyle::Steps && any) add(x, lastY);
            col = {x, y, y, y, y, true};
        }
        lastY = y;
        any = true;
    }
    flush();
    return out;
}

std::string Markers(const Series& s, const Scale& sx, const Scale& sy) {
    std::string out;
    const char* r = s.points.size() > kMaxMarkers ? "1.5" : "3";
    for (const Point& p : s.points)
        if (std::isfinite(p.x) && std::isfinite(p.y))
            out += "<circle cx=\"" + N(sx(p.x)) + "\" cy=\"" + N(sy(p.y)) + "\" r=\"" + r + "\" fill=\"" + s.color + "\"/>";
    return out;
}


// A density cell's shade: from pale for one point to dark for the fullest
// cell, on a log scale so that sparse cells still show.
std::string Shade(double count, double most) {
    const double t = most > 1 ? std::log1p(count - 1) / std::log1p(most - 1) : 1;
    const double light[] = {198, 219, 239}, dark[] = {8, 48, 107};
    char buf[16];
    int rgb[3];
    for (int i = 0; i < 3; ++i) rgb[i] = static_cast<int>(std::lround(light[i] + (dark[i] - light[i]) * t));
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
    return buf;
}

std::string Rect(double x, double y, double w, double h, const std::string& fill) {
    return "<rect x=\"" + N(x) + "\" y=\"" + N(y) + "\" width=\"" + N(w) + "\" height=\"" + N(h) + "\" fill=\"" + fill +
           "\"/>";
}

const char* const kDashed = " stroke-width=\"1.5\" stroke-dasharray=\"6 4\"";

// Legend entries right-aligned in the band above the plot.
std::string Legend(const Chart& c) {
    enum Key { Plain, Dashed, Swatch };
    struct Entry {
        std::string name, color;
        bool line, marker;
        Key key;
    };
    std::vector<Entry> entries;
    if (c.density) {
        entries.push_back({"few", Shade(1, 3), false, false, Swatch});
        entries.push_back({"many records", Shade(3, 3), false, false, Swatch});
    }
    if (c.bars) entries.push_back({c.bars->name, c.bars->color, false, false, Swatch});
    for (const Series& s : c.series) entries.push_back({s.name, s.color, HasLine(s), HasMarkers(s), Plain});
    if (c.diagonal) entries.push_back({"y = x", "#888", true, false, Dashed});
    if (c.reference) entries.push_back({c.reference->name, "#888", true, false, Dashed});
    std::string out;
    double x = c.width - kRight;
    const double y = 30;
    for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
        x -= TextWidth(e->name);
        out += Text(x, y + 4, e->name, "start");
        x -= e->key == Swatch ? 18 : 30;
        if (e->key == Swatch) out += Rect(x, y - 6, 12, 12, e->color);
        if (e->line) out += Line(x, y, x + 24, y, e->color, e->key == Dashed ? kDashed : " stroke-width=\"2\"");
        if (e->marker) out += "<circle cx=\"" + N(x + 12) + "\" cy=\"" + N(y) + "\" r=\"3\" fill=\"" + e->color + "\"/>";
        x -= 14;
    }
    return out;
}

// Plain text of a number to at most 15 decimals, without trailing zeros.
std::string Fixed(double value, int decimals, bool trim) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", std::clamp(decimals, 0, 15), value);
    std::string text = buf;
    if (trim && text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

// Decimals that multiples of step need.
int DecimalsOf(double step) {
    int decimals = 0;
    for (double s = step; decimals < 15 && std::abs(s - std::round(s)) > 1e-9 * std::max(1.0, s); s *= 10) ++decimals;
    return decimals;
}

std::string Superscript(int n) {
    static const char* const digits[] = {"\u2070", "\u00b9", "\u00b2", "\u00b3", "\u2074",
                                         "\u2075", "\u2076", "\u2077", "\u2078", "\u2079"};
    std::string text = n < 0 ? "\u207b" : "";
    for (const char c : std::to_string(std::abs(n))) text += digits[c - '0'];
    return text;
}

}  // namespace

std::vector<double> NiceTicks(double lo, double hi, int maxTicks, double minStep) {
    if (!std::isfinite(lo) || !std::isfinite(hi) || maxTicks < 2) return {};
    if (lo > hi) std::swap(lo, hi);
    if (hi - lo <= std::max(std::abs(lo), std::abs(hi)) * 1e-12) {
        const double pad = std::max(lo == 0 ? 1.0 : std::abs(lo) * 0.1, minStep);
        lo -= pad;
        hi += pad;
    }
    const double span = hi - lo;
    if (!std::isfinite(span)) return {};
    const double raw = std::max(span / (maxTicks - 1), minStep);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10 * power;
    for (const double m : {1.0, 2.0, 2.5, 5.0})
        if (m * power >= raw) {
            step = m * power;
            break;
        }
    const double first = std::floor(lo / step) * step;
    if (!(step > 0) || !std::isfinite(first)) return {};
    std::vector<double> ticks;
    for (int i = 0; i <= maxTicks + 1; ++i) {
        double t = first + i * step;
        if (std::abs(t) < step * 1e-9) t = 0;
        ticks.push_back(t);
        if (t >= hi - step * 1e-9) break;
    }
    return ticks;
}

std::string TickLabel(double value, double step) {
    step = std::abs(step);
    if (std::abs(value) < step * 1e-9) value = 0;
    const double mag = std::max(std::abs(value), step);
    if (!std::isfinite(value)) return "n/a";
    if (mag >= 1e15 || (step > 0 && step < 1e-4)) {
        if (value == 0) return "0";
        const int power = static_cast<int>(std::floor(std::log10(std::abs(value)) + 1e-12));
        const int decimals = step > 0 ? power - static_cast<int>(std::floor(std::log10(step) + 1e-12)) : 2;
        const std::string mantissa = Fixed(value / std::pow(10.0, power), decimals, false);
        const std::string ten = "10" + Superscript(power);
        return mantissa == "1" ? ten : mantissa == "-1" ? "-" + ten : mantissa + "\u00d7" + ten;
    }
    if (step >= 1000) {
        static const std::pair<double, const char*> units[] = {{1e12, "T"}, {1e9, "G"}, {1e6, "M"}, {1e3, "k"}};
        for (const auto& [unit, suffix] : units)
            if (std::abs(value) >= unit) return Fixed(value / unit, DecimalsOf(step / unit), true) + suffix;
        return Fixed(value, 0, false);
    }
    return Fixed(value, DecimalsOf(step), false);
}

std::string ChartSvg(const Chart& c) {
    Range xr, yr;
    for (const Series& s : c.series)
        for (const Point& p : s.points)
            if (std::isfinite(p.x) && std::isfinite(p.y)) {
                xr.Add(p.x);
                yr.Add(p.y);
            }
    if (c.reference) yr.Add(c.reference->y);
    if (c.density) {
        xr.Add(c.density->x0), xr.Add(c.density->x0 + c.density->dx * static_cast<double>(c.density->nx));
        yr.Add(c.density->y0), yr.Add(c.density->y0 + c.density->dy * static_cast<double>(c.density->ny));
    }
    if (c.bars) {
        xr.Add(c.bars->x0), xr.Add(c.bars->x0 + c.bars->width * static_cast<double>(c.bars->heights.size()));
        yr.Add(0);
        for (const double h : c.bars->heights) yr.Add(h);
    }
    const double plotW = c.width - kLeft - kRight;
    // As many x ticks as leave room between their labels.
    std::vector<double> xt;
    for (int n = std::clamp(static_cast<int>(plotW / 45), 2, 9); n >= 2; --n) {
        xt = AxisTicks(xr, n, c.integerX ? 1 : 0);
        double widest = 0;
        for (const double t : xt) widest = std::max(widest, TextWidth(TickLabel(t, xt[1] - xt[0])));
        if (plotW / static_cast<double>(xt.size() - 1) >= widest + 10) break;
    }
    const auto yt = AxisTicks(yr, 6, 0);
    const Scale sx{xt.front(), xt.back(), kLeft, kLeft + plotW};
    const Scale sy{yt.front(), yt.back(), kTop + kPlotH, kTop};

    std::string out = SvgOpen(c.width, kHeight, c.title, "chart");
    out += "<rect x=\"0\" y=\"0\" width=\"" + N(c.width) + "\" height=\"" + N(kHeight) + "\" fill=\"#fff\"/>";
    out += Text(kLeft, 16, c.title, "start", " font-weight=\"bold\" font-size=\"14\"");
    const double ystep = yt[1] - yt[0], xstep = xt[1] - xt[0];
    for (const double t : yt) {
        out += Line(kLeft, sy(t), kLeft + plotW, sy(t), "#e3e3e3");
        out += Text(kLeft - 6, sy(t) + 4, TickLabel(t, ystep), "end");
    }
    for (const double t : xt) {
        out += Line(sx(t), kTop + kPlotH, sx(t), kTop + kPlotH + 5, "#555");
        out += Text(sx(t), kTop + kPlotH + 18, TickLabel(t, xstep), "middle");
    }
    out += Line(kLeft, kTop, kLeft, kTop + kPlotH, "#555");
    out += Line(kLeft, kTop + kPlotH, kLeft + plotW, kTop + kPlotH, "#555");
    out += Text(kLeft + plotW / 2, kHeight - 8, c.xLabel, "middle");
    out += Text(16, kTop + kPlotH / 2, c.yLabel, "middle", " transform=\"rotate(-90 16 " + N(kTop + kPlotH / 2) + ")\"");
    out += "<g class=\"plot\">";
    if (c.density) {
        const Density& d = *c.density;
        out += "<g shape-rendering=\"crispEdges\">";
        double most = 0;
        for (const double n : d.counts) most = std::max(most, n);
        for (std::size_t j = 0; j < d.ny; ++j)
            for (std::size_t i = 0; i < d.nx && j * d.nx + i < d.counts.size(); ++i) {
                const double n = d.counts[j * d.nx + i];
                if (n <= 0) continue;
                const double x = d.x0 + d.dx * static_cast<double>(i), y = d.y0 + d.dy * static_cast<double>(j);
                out += Rect(sx(x), sy(y + d.dy), sx(x + d.dx) - sx(x), sy(y) - sy(y + d.dy), Shade(n, most));
            }
        out += "</g>";
    }
    if (c.bars)
        for (std::size_t i = 0; i < c.bars->heights.size(); ++i) {
            const double x = c.bars->x0 + c.bars->width * static_cast<double>(i), h = c.bars->heights[i];
            if (h > 0) out += Rect(sx(x), sy(h), std::max(sx(x + c.bars->width) - sx(x) - 1, 0.5), sy(0) - sy(h), c.bars->color);
        }
    if (c.diagonal) {
        const double lo = std::max(xt.front(), yt.front()), hi = std::min(xt.back(), yt.back());
        if (lo < hi) out += Line(sx(lo), sy(lo), sx(hi), sy(hi), "#888", kDashed);
    }
    if (c.reference)
        out += Line(kLeft, sy(c.reference->y), kLeft + plotW, sy(c.reference->y), "#888", kDashed);
    for (const Series& s : c.series) {
        if (HasLine(s)) out += Polylines(s, sx, sy);
        if (HasMarkers(s)) out += Markers(s, sx, sy);
    }
    if (!xr.any) out += Text(kLeft + plotW / 2, kTop + kPlotH / 2, "no values to show", "middle", " fill=\"#888\"");
    out += "</g>" + Legend(c) + "</svg>";
    return out;
}

std::string HitStripSvg(const std::vector<HitRow>& rows) {
    constexpr double rowH = 36, labelW = 150;
    const double plotW = kWidth - labelW - kRight;
    const double height = 48 + rowH * static_cast<double>(rows.size()) + 32;
    std::string out = SvgOpen(kWidth, height, "Hits per record", "chart");
    out += "<rect x=\"0\" y=\"0\" width=\"" + N(kWidth) + "\" height=\"" + N(height) + "\" fill=\"#fff\"/>";
    out += Text(8, 16, "Hits per record", "start", " font-weight=\"bold\" font-size=\"14\"");
    const char* hit = "#2e9b4f";
    const char* miss = "#d2413a";
    out += "<rect x=\"" + N(kWidth - kRight - 150) + "\" y=\"24\" width=\"12\" height=\"12\" fill=\"" + hit + "\"/>" +
           Text(kWidth - kRight - 134, 34, "hit", "start") + "<rect x=\"" + N(kWidth - kRight - 90) +
           "\" y=\"24\" width=\"12\" height=\"12\" fill=\"" + miss + "\"/>" +
           Text(kWidth - kRight - 74, 34, "miss", "start");
    std::size_t longest = 0;
    for (const HitRow& row : rows) longest = std::max(longest, row.hits.size());
    // One width of cell for all rows, so that a record number lines up across them.
    const double cell = longest ? plotW / static_cast<double>(longest) : 0;
    double y = 48;
    for (const HitRow& row : rows) {
        const auto n = row.hits.size();
        const auto hits = static_cast<std::size_t>(std::count(row.hits.begin(), row.hits.end(), true));
        out += Text(8, y + 13, row.name, "start", " font-weight=\"bold\"");
        out += Text(8, y + 27, std::to_string(hits) + " of " + std::to_string(n) + " hits", "start");
        // One cell per record while cells are wide enough to tell apart; else
        // runs of equal outcomes as one rectangle each, so long data sets stay small.
        const bool cells = cell > 4;
        out += "<g class=\"plot\">";
        for (std::size_t i = 0; i < n;) {
            std::size_t j = i + 1;
            while (!cells && j < n && row.hits[j] == row.hits[i]) ++j;
            const double gap = cells ? 1 : 0;
            out += "<rect x=\"" + N(labelW + cell * static_cast<double>(i)) + "\" y=\"" + N(y) + "\" width=\"" +
                   N(std::max(cell * static_cast<double>(j - i) - gap, 0.5)) + "\" height=\"24\" fill=\"" +
                   (row.hits[i] ? hit : miss) + "\"/>";
            i = j;
        }
        out += "</g>";
        y += rowH;
    }
    const auto ticks = NiceTicks(1, static_cast<double>(std::max<std::size_t>(longest, 1)), 8, 1);
    for (const double t : ticks) {
        if (t < 1 || t > static_cast<double>(longest)) continue;
        const double x = labelW + cell * (t - 0.5);
        out += Line(x, y - 8, x, y - 4, "#555") + Text(x, y + 8, TickLabel(t, 1), "middle");
    }
    out += Text(labelW + plotW / 2, y + 22, "record", "middle");
    return out + "</svg>";
}

std::string TreeSvg(const std::vector<TreeNode>& nodes) {
    constexpr std::size_t kMaxLeaves = 48, kMaxDepth = 30, kMaxLabel = 14;
    if (nodes.empty()) return {};
    // Post-order walk without recursion: leaves take the next slot, a function
    // sits over the middle of its arguments.
    std::vector<double> slot(nodes.size(), 0);
    std::vector<std::size_t> depth(nodes.size(), 0);
    std::vector<bool> seen(nodes.size(), false);
    std::vector<std::size_t> order;
    std::vector<std::pair<std::size_t, std::size_t>> stack{{0, 0}};
    seen[0] = true;
    double leaves = 0;
    std::size_t maxDepth = 0;
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        const auto& kids = nodes[node].children;
        if (next < kids.size()) {
            const std::size_t child = kids[next++];
            if (child < nodes.size() && !seen[child]) {
                seen[child] = true;
                depth[child] = depth[node] + 1;
                maxDepth = std::max(maxDepth, depth[child]);
                if (maxDepth > kMaxDepth) return {};
                stack.push_back({child, 0});
            }
            continue;
        }
        std::vector<double> placed;
        for (const std::size_t k : kids)
            if (k < nodes.size() && depth[k] == depth[node] + 1) placed.push_back(slot[k]);
        if (placed.empty()) {
            slot[node] = leaves++;
            if (leaves > kMaxLeaves) return {};
        } else {
            slot[node] = (placed.front() + placed.back()) / 2;
        }
        order.push_back(node);
        stack.pop_back();
    }
    auto label = [&](std::size_t i) {
        const std::string& l = nodes[i].label;
        if (l.size() <= kMaxLabel) return l;
        std::size_t cut = kMaxLabel - 1;
        while (cut > 0 && (static_cast<unsigned char>(l[cut]) & 0xC0) == 0x80) --cut;  // not inside a UTF-8 letter
        return l.substr(0, cut) + "\xe2\x80\xa6";
    };
    double widest = 0;
    for (const std::size_t i : order) widest = std::max(widest, TextWidth(label(i)));
    const double slotW = std::max(34.0, widest + 14), levelH = 48;
    const double w = leaves * slotW, h = static_cast<double>(maxDepth + 1) * levelH;
    auto px = [&](std::size_t i) { return slotW / 2 + slot[i] * slotW; };
    auto py = [&](std::size_t i) { return levelH / 2 + static_cast<double>(depth[i]) * levelH; };
    std::string out = SvgOpen(w, h, "Expression tree", "tree");
    for (const std::size_t i : order)
        for (const std::size_t k : nodes[i].children)
            if (k < nodes.size() && depth[k] == depth[i] + 1) out += Line(px(i), py(i), px(k), py(k), "#777");
    for (const std::size_t i : order) {
        const bool function = !nodes[i].children.empty();
        const double bw = std::max(26.0, TextWidth(label(i)) + 10);
        out += "<rect x=\"" + N(px(i) - bw / 2) + "\" y=\"" + N(py(i) - 12) + "\" width=\"" + N(bw) +
               "\" height=\"24\" rx=\"12\" fill=\"" + (function ? "#dbe8fb" : "#f4f4f4") + "\" stroke=\"" +
               (function ? "#1f6fd1" : "#777") + "\"/>";
        out += Text(px(i), py(i) + 4, label(i), "middle");
    }
    return out + "</svg>";
}

}  // namespace orv::report
