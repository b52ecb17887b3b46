#include "report/Page.h"

#include <algorithm>
#include <cmath>

#include "report/Html.h"

namespace orv::report {
namespace {

constexpr const char* kStyle = R"(<style>
body{font-family:system-ui,sans-serif;color:#222;max-width:980px;margin:0 auto;padding:16px 20px 40px;line-height:1.4}
h1{font-size:24px;margin:4px 0}
h2{font-size:18px;margin:28px 0 8px;border-bottom:1px solid #ddd;padding-bottom:4px}
h3{font-size:15px;margin:16px 0 6px}
.sub{color:#555;margin:0 0 8px}
.comments{white-space:pre-wrap;background:#f8f8f4;border-left:3px solid #cfc8a0;padding:6px 10px}
table{border-collapse:collapse;font-size:13px;margin:6px 0}
th,td{border:1px solid #ddd;padding:3px 8px;text-align:left;vertical-align:top}
th{background:#f1f4f8}
td.num{text-align:right;font-variant-numeric:tabular-nums}
td.sub{padding-left:22px}
tr.error td{background:#fdeeee;color:#8a1c1c}
.formula{font-family:ui-monospace,monospace;background:#f5f6f8;padding:6px 10px;overflow-wrap:anywhere}
.note{color:#666;font-size:13px}
.tables{display:flex;flex-wrap:wrap;gap:24px;align-items:flex-start}
.scroll{overflow-x:auto}
svg.chart{display:block;max-width:100%;height:auto;margin:10px 0}
svg.tree{display:block;max-width:100%;height:auto}
.fit{display:flex;gap:10px;align-items:flex-start}
.charts{flex:1;min-width:0}
.pair{display:flex}
.pair svg.chart{width:50%;margin:0}
dl.stats{flex:0 0 160px;margin:10px 0;font-size:13px}
dl.stats dt{color:#555}
dl.stats dd{margin:0 0 8px;font-size:20px;font-weight:bold;font-variant-numeric:tabular-nums}
dl.stats .measure{display:block;font-size:11px;color:#1f6fd1}
dl.stats dd.note{font-size:12px;font-weight:normal}
td.hit{background:#e3f4e7}
td.miss{background:#fbe4e2}
</style>)";

std::string E(const std::string& s) { return HtmlEscape(s); }

std::string Head(const std::string& title) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
           E(title) + "</title>\n" + kStyle + "\n</head>\n<body>\n";
}

// Two-column table; labels that start with blanks are parts of the row above.
std::string LabelTable(const std::string& caption, const Rows& rows) {
    std::string out = "<table>\n<caption><h3>" + E(caption) + "</h3></caption>\n<tbody>\n";
    for (const auto& [label, value] : rows) {
        const bool part = !label.empty() && label[0] == ' ';
        std::string l = label.substr(label.find_first_not_of(' ') == std::string::npos ? label.size()
                                                                                        : label.find_first_not_of(' '));
        if (!l.empty() && l.back() == ':') l.pop_back();
        out += std::string("<tr><th") + (part ? " class=\"sub\"" : "") + " scope=\"row\">" + E(l) + "</th><td>" +
               E(value) + "</td></tr>\n";
    }
    return out + "</tbody>\n</table>\n";
}

std::string DataTable(const DataSetView& d) {
    std::string out = "<h3>" + E(d.name) + " data</h3>\n<p class=\"note\">" + std::to_string(d.records) +
                      (d.records == 1 ? " record" : " records");
    if (d.firstRows.size() < d.records) out += "; the first " + std::to_string(d.firstRows.size()) + " shown";
    out += ".</p>\n";
    if (d.firstRows.empty()) return out;
    out += "<div class=\"scroll\"><table>\n<thead><tr><th>#</th>";
    for (const auto& c : d.columns) out += "<th>" + E(c) + "</th>";
    out += "</tr></thead>\n<tbody>\n";
    for (std::size_t i = 0; i < d.firstRows.size(); ++i) {
        out += "<tr><td class=\"num\">" + std::to_string(i + 1) + "</td>";
        for (const auto& v : d.firstRows[i]) out += "<td class=\"num\">" + E(v) + "</td>";
        out += "</tr>\n";
    }
    return out + "</tbody>\n</table></div>\n";
}

// Up to this many records a chart per record still reads; it is drawn
// beside the others.
constexpr std::size_t kPerRecord = 300;
// Up to this many a scatter of points; a density of binned counts beyond.
constexpr std::size_t kScatterPoints = 2000;

// 3600000 as "3,600,000".
std::string Grouped(std::size_t n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string Stat(const std::string& label, const std::string& value, bool measure = false) {
    return "<dt>" + E(label) + (measure ? " <span class=\"measure\">the run's error measure</span>" : "") +
           "</dt><dd>" + E(value) + "</dd>\n";
}

// The fit in figures: R-square, the run's error measure and the records.
std::string Stats(const RunView& run, const DataSetView& d) {
    const FitSample& f = *d.fit;
    const auto& c = f.Classes();
    const std::size_t hits = c[0][0] + c[1][1], usable = f.Records() - f.Unusable();
    std::string out = "<dl class=\"stats\">\n";
    out += Stat("R-square", d.rSquare ? ShortNumber(*d.rSquare) : "n/a", run.errorType == "Rsquare");
    if (run.errorType == "HitsNumber" && run.classThreshold)
        out += Stat("Hits", Grouped(hits) + " of " + Grouped(usable), true);
    if (run.errorType == "Relative")
        out += Stat("Mean relative error", std::isfinite(f.MeanRelativeError()) ? ShortNumber(f.MeanRelativeError()) + " %" : "n/a", true);
    else
        out += Stat("Mean absolute error", ShortNumber(f.MeanAbsoluteError()), run.errorType == "Absolute");
    if (run.classThreshold && run.errorType != "HitsNumber") out += Stat("Hits", Grouped(hits) + " of " + Grouped(usable));
    out += Stat("Records", Grouped(f.Records()));
    if (f.Unusable()) out += Stat("No finite output", Grouped(f.Unusable()) + ", left out");
    if (!f.Complete()) out += "<dd class=\"note\">Charts from " + Grouped(f.Points().size()) + " records picked at random.</dd>\n";
    return out + "</dl>\n";
}

// Records by class of target and of model output.
std::string ClassTable(const DataSetView& d) {
    const auto& c = d.fit->Classes();
    auto cell = [](std::size_t n, bool hit) {
        return std::string("<td class=\"num ") + (hit ? "hit" : "miss") + "\">" + Grouped(n) + "</td>";
    };
    return "<table class=\"classes\">\n<caption>" + E(d.name) +
           " data: hits and misses</caption>\n<thead><tr><th></th><th>model 1</th><th>model 0</th></tr></thead>\n"
           "<tbody>\n<tr><th>target 1</th>" + cell(c[1][1], true) + cell(c[1][0], false) + "</tr>\n<tr><th>target 0</th>" +
           cell(c[0][1], false) + cell(c[0][0], true) + "</tr>\n</tbody>\n</table>\n";
}

std::string FitCharts(const RunView& run, const DataSetView& d, const char* color) {
    const FitSample& f = *d.fit;
    const std::string target = d.columns.empty() ? "target" : d.columns.back();
    std::string out;
    if (f.Complete() && f.Records() <= kPerRecord) {
        Chart c;
        c.title = d.name + " data: target and model output";
        c.xLabel = "record";
        c.yLabel = target;
        c.integerX = true;
        Series t{"target", "#333", SeriesStyle::Markers, {}}, m{"model", color, SeriesStyle::LineAndMarkers, {}};
        for (std::size_t i = 0; i < f.Points().size(); ++i) {
            t.points.push_back({static_cast<double>(i + 1), f.Points()[i].x});
            m.points.push_back({static_cast<double>(i + 1), f.Points()[i].y});
        }
        c.series = {std::move(t), std::move(m)};
        if (run.classThreshold) c.reference = Reference{"class threshold", *run.classThreshold};
        out += ChartSvg(c);
    }
    Chart scatter;
    scatter.title = d.name + ": model against target";
    scatter.xLabel = target;
    scatter.yLabel = "model output";
    scatter.width = 380;
    scatter.diagonal = true;
    if (f.Complete() && f.Records() <= kScatterPoints)
        scatter.series.push_back({"record", color, SeriesStyle::Markers, f.Points()});
    else
        scatter.density = BinPoints(f, 48, 32);
    Chart residuals;
    residuals.title = d.name + ": residuals";
    residuals.xLabel = "model output \u2212 target";
    residuals.yLabel = "records";
    residuals.width = 380;
    const auto bins = static_cast<std::size_t>(std::clamp(2 * std::sqrt(static_cast<double>(f.Records())), 6.0, 40.0));
    residuals.bars = ResidualBars(f, bins);
    out += "<div class=\"pair\">" + ChartSvg(scatter) + ChartSvg(residuals) + "</div>\n";
    return out;
}

std::string FitSection(const RunView& run) {
    std::string out = "<h2>Model against the data</h2>\n";
    if (!run.modelNote.empty()) out += "<p class=\"note\">" + E(run.modelNote) + "</p>\n";
    std::vector<HitRow> hitRows;
    bool strip = true;
    for (std::size_t k = 0; k < run.data.size(); ++k) {
        const DataSetView& d = run.data[k];
        if (!d.fit) continue;
        out += "<h3>" + E(d.name) + " data</h3>\n<div class=\"fit\">\n" + Stats(run, d) + "<div class=\"charts\">\n" +
               FitCharts(run, d, k == 0 ? "#1f6fd1" : "#e07b12") + "</div>\n</div>\n";
        if (run.classThreshold) {
            out += ClassTable(d);
            const FitSample& f = *d.fit;
            strip = strip && f.Complete() && f.Records() <= kPerRecord;
            if (!strip) continue;  // no strip: its rows would be thrown away
            HitRow row{d.name, {}};
            const double t = *run.classThreshold;
            for (const Point& p : f.Points()) row.hits.push_back((p.y >= t) == (p.x >= t));
            hitRows.push_back(std::move(row));
        }
    }
    if (!hitRows.empty() && strip) out += HitStripSvg(hitRows);
    return out;
}

std::string HistorySection(const RunView& run) {
    std::string out = "<h2>Evolution</h2>\n";
    const auto& entries = run.history.entries;
    if (entries.empty()) {
        out += "<p class=\"note\">The run keeps no evolution history.</p>\n";
    } else {
        Series best{"best fitness", "#1f6fd1", SeriesStyle::Steps, {}};
        Series marks{"improvement", "#1f6fd1", SeriesStyle::Markers, {}};
        for (const auto& e : entries) {
            best.points.push_back({e.generation, e.fitness});
            marks.points.push_back({e.generation, e.fitness});
        }
        // The best fitness holds until the run ends.
        if (run.generations > entries.back().generation)
            best.points.push_back({run.generations, entries.back().fitness});
        Chart c{"Best fitness by generation", "generation", "fitness", {best, marks}, {}, true};
        if (run.maxFitness > 0 && std::isfinite(run.maxFitness))
            c.reference = Reference{"maximum fitness", run.maxFitness};
        out += ChartSvg(c);
    }
    if (run.history.unreadable)
        out += "<p class=\"note\">" + std::to_string(run.history.unreadable) +
               " history entries are not a generation and a fitness and are left out.</p>\n";
    return out;
}

std::string ModelSection(const RunView& run) {
    std::string out = "<h2>Model</h2>\n";
    if (run.karva.empty()) return out + "<p class=\"note\">The run holds no evolved model.</p>\n";
    out += "<p class=\"formula\">" + E(run.formula) + "</p>\n";
    out += "<p class=\"note\">Karva: <span class=\"formula\">" + E(run.karva) + "</span></p>\n";
    if (run.genes.size() > 1)
        out += "<p class=\"note\">" + std::to_string(run.genes.size()) + " genes, linked by " + E(run.linking) + ".</p>\n";
    for (std::size_t g = 0; g < run.genes.size(); ++g) {
        const GeneView& gene = run.genes[g];
        out += "<h3>Gene " + std::to_string(g + 1) + " <span class=\"note\">(" + E(gene.karva) + ")</span></h3>\n" +
               "<p class=\"formula\">" + E(gene.formula) + "</p>\n";
        const std::string tree = TreeSvg(gene.tree);
        if (!tree.empty())
            out += "<div class=\"scroll\">" + tree + "</div>\n";
        else
            out += gene.tree.empty() ? "<p class=\"note\">The gene is empty.</p>\n"
                                     : "<p class=\"note\">The tree is too large to draw.</p>\n";
    }
    return out;
}

}  // namespace

std::string RunPageHtml(const RunView& run) {
    std::string out = Head(run.key.empty() ? run.file : run.key);
    out += "<p class=\"note\"><a href=\"index.html\">All runs</a></p>\n";
    out += "<h1>" + E(run.key.empty() ? "(no key)" : run.key) + "</h1>\n<p class=\"sub\">" + E(run.file);
    for (const std::string* s : {&run.category, &run.author, &run.lastSaved})
        if (!s->empty()) out += " &middot; " + E(*s);
    out += "</p>\n";
    if (!run.comments.empty()) out += "<p class=\"comments\">" + E(run.comments) + "</p>\n";
    out += FitSection(run) + HistorySection(run) + ModelSection(run);
    out += "<h2>Summary</h2>\n<div class=\"tables\">\n" + LabelTable("Run", run.summary) +
           LabelTable("Settings", run.settings) + "</div>\n";
    out += "<h2>Data</h2>\n";
    for (const DataSetView& d : run.data) out += DataTable(d);
    return out + "</body>\n</html>\n";
}

std::string IndexPageHtml(const std::vector<IndexRow>& rows) {
    std::size_t failed = 0;
    for (const IndexRow& r : rows) failed += !r.error.empty();
    std::string out = Head("Runs");
    out += "<h1>Runs</h1>\n<p class=\"sub\">" + std::to_string(rows.size()) + (rows.size() == 1 ? " file" : " files");
    if (failed) out += ", " + std::to_string(failed) + " could not be read";
    out += ".</p>\n<table>\n<thead><tr><th>File</th><th>Key</th><th>Category</th><th>Best fitness</th>"
           "<th>R-square</th><th>Page</th></tr></thead>\n<tbody>\n";
    for (const IndexRow& r : rows) {
        if (!r.error.empty()) {
            out += "<tr class=\"error\"><td>" + E(r.file) + "</td><td colspan=\"5\">" + E(r.error) + "</td></tr>\n";
            continue;
        }
        out += "<tr><td>" + E(r.file) + "</td><td>" + E(r.key) + "</td><td>" + E(r.category) + "</td><td class=\"num\">" +
               E(r.bestFitness) + "</td><td class=\"num\">" + E(r.rSquare) + "</td><td><a href=\"" + UrlEscape(r.page) + "\">" +
               E(r.page) + "</a></td></tr>\n";
    }
    return out + "</tbody>\n</table>\n</body>\n</html>\n";
}

}  // namespace orv::report
