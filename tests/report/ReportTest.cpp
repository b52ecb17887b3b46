#include <pugixml.hpp>

#include <limits>
#include <numeric>

#include "report/Fit.h"
#include "report/History.h"
#include "report/Svg.h"
#include "support/TestSupport.h"

namespace orv::report {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(History, ReadsEntriesAndCountsDamagedOnes) {
    for (const auto& row : test::DataRows("report/data/history.txt")) {
        const History h = ParseEvolveHistory(row[0]);
        std::ostringstream entries;
        for (const auto& e : h.entries) entries << (&e == h.entries.data() ? "" : " ") << e.generation << ":" << e.fitness;
        EXPECT_EQ(entries.str() + "|" + std::to_string(h.unreadable), row[1] + "|" + row[2]) << row.where;
    }
}

// Ticks cover the range in round steps, few enough to label.
TEST(Axis, TicksCoverTheRangeInRoundSteps) {
    for (const auto& row : test::DataRows("report/data/tick-ranges.txt")) {
        const struct { double lo, hi, minStep; } c{std::stod(row[0]), std::stod(row[1]), std::stod(row[2])};
        const auto t = NiceTicks(c.lo, c.hi, 6, c.minStep);
        ASSERT_GE(t.size(), 2u) << c.lo << ".." << c.hi;
        EXPECT_LE(t.size(), 7u) << c.lo << ".." << c.hi;
        EXPECT_LE(t.front(), c.lo);
        EXPECT_GE(t.back(), c.hi);
        const double step = t[1] - t[0];
        EXPECT_GE(step, c.minStep);
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
        EXPECT_TRUE(std::ranges::any_of(std::array{1.0, 2.0, 2.5, 5.0}, [&](double m) { return std::abs(mantissa - m) < 1e-6; }))
            << c.lo << ".." << c.hi << " step " << step;
    }
    for (const double bad : {kNaN, std::numeric_limits<double>::infinity()}) EXPECT_TRUE(NiceTicks(0, bad, 6).empty());
    EXPECT_TRUE(NiceTicks(-1.7e308, 1.7e308, 6).empty());
}

TEST(Axis, LabelsShowWhatTheStepNeeds) {
    for (const auto& row : test::DataRows("report/data/tick-labels.txt"))
        EXPECT_EQ(TickLabel(std::stod(row[0]), std::stod(row[1])), row[2]) << row.where;
}

// What the page embeds must be well-formed XML with the texts given.
pugi::xml_document ParseSvg(const std::string& svg) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(svg.c_str())) << svg.substr(0, 200);
    return doc;
}

std::vector<double> Coordinates(const pugi::xml_node& svg) {
    std::vector<double> xs;
    for (auto p : svg.select_nodes("//polyline")) {
        std::istringstream in(p.node().attribute("points").value());
        double x, y;
        char comma;
        while (in >> x >> comma >> y) xs.push_back(x), xs.push_back(y);
    }
    return xs;
}

TEST(Chart, DrawsInsideThePlotAndBreaksLinesAtGaps) {
    Chart c{"Fit <&> \"q\"", "record", "y", {}, Reference{"limit & max", 5}, true};
    c.series.push_back({"model \"a\"", "#00f", SeriesStyle::Line, {{1, 1}, {2, kNaN}, {3, 3}, {4, 4}, {5, -2}}});
    c.series.push_back({"target", "#000", SeriesStyle::Steps, {{1, 0}, {2, 2}}});
    const auto doc = ParseSvg(ChartSvg(c));
    const auto svg = doc.child("svg");
    EXPECT_STREQ(svg.child("title").text().get(), "Fit <&> \"q\"");
    std::vector<std::string> texts;
    for (auto t : svg.select_nodes("//text")) texts.push_back(t.node().text().get());
    for (const char* want : {"model \"a\"", "target", "limit & max", "record"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), want), texts.end()) << want;
    // The NaN splits the first series: a lone point and a run of three.
    const auto lines = svg.select_nodes("//polyline");
    ASSERT_EQ(lines.size(), 2u);
    const std::string steps = lines[1].node().attribute("points").value();
    EXPECT_EQ(std::count(steps.begin(), steps.end(), ','), 3);  // a corner between the two points
    const auto xy = Coordinates(svg);
    for (std::size_t i = 0; i + 1 < xy.size(); i += 2)
        EXPECT_TRUE(xy[i] >= 72 && xy[i] <= 728 && xy[i + 1] >= 44 && xy[i + 1] <= 248) << xy[i] << "," << xy[i + 1];
}

// A big data set keeps each pixel column's extremes, not every point.
TEST(Chart, BigSeriesAreThinnedToWhatShows) {
    for (const auto style : {SeriesStyle::Line, SeriesStyle::Markers, SeriesStyle::Steps}) {
        Series big{"big", "#00f", style, {}};
        for (int i = 0; i < 100000; ++i) big.points.push_back({double(i), i == 50000 ? 1000.0 : double(i % 7)});
        const auto doc = ParseSvg(ChartSvg({"big", "x", "y", {big}, {}, true}));
        EXPECT_EQ(doc.select_nodes("//circle").size(), 0u);
        const auto xy = Coordinates(doc.child("svg"));
        EXPECT_LT(xy.size(), 2 * 5 * 700u);  // at most five points per pixel column
        double top = 1e9, bottom = 0;
        for (std::size_t i = 1; i < xy.size(); i += 2) top = std::min(top, xy[i]), bottom = std::max(bottom, xy[i]);
        EXPECT_NEAR(top, 44, 1);  // the one spike at 1000 still shows
        EXPECT_GT(bottom, 240);
    }
}

// Fewer ticks on a narrow chart or with long labels, never labels that touch.
TEST(Chart, TickLabelsNeverOverlap) {
    for (const double width : {380.0, 760.0})
        for (const auto& [lo, hi] : {std::pair{0.0, 3.6e6}, {0.0, 1.7e16}, {1e-4, 1.00016e-4}}) {
            Chart c{"t", "x", "y", {{"s", "#00f", SeriesStyle::Line, {{lo, 0}, {hi, 1}}}}, {}, false, width};
            double right = 0;
            const auto doc = ParseSvg(ChartSvg(c));
            const auto labels = doc.select_nodes("//text[@y='266.0']");
            EXPECT_GE(labels.size(), 2u);
            for (auto t : labels) {
                const std::string label = t.node().text().get();  // 7 units a letter
                const double half = 3.5 * static_cast<double>(std::count_if(
                                              label.begin(), label.end(), [](char ch) { return (ch & 0xC0) != 0x80; }));
                EXPECT_GT(t.node().attribute("x").as_double() - half, right) << width << " " << lo << ".." << hi;
                right = t.node().attribute("x").as_double() + half;
            }
        }
}

TEST(Chart, HitStripKeepsCellsWhileTheyFitAndMergesRunsAfter) {
    const struct { std::size_t records; std::size_t rects; } cases[] = {{10, 10}, {2000, 2}};
    for (const auto& c : cases) {
        std::vector<bool> hits(c.records, true);
        std::fill(hits.begin() + static_cast<std::ptrdiff_t>(c.records / 2), hits.end(), false);
        const auto doc = ParseSvg(HitStripSvg({{"Training", hits}}));
        EXPECT_EQ(doc.select_nodes("//g/rect").size(), c.rects) << c.records;
        EXPECT_NE(std::string(doc.child("svg").child_value("text")), "");
    }
}

// 50,001 records: a sample of a bounded size whose bins add up to them all.
TEST(Fit, KeepsABoundedSampleThatStandsForEveryRecord) {
    FitSample f(0.5);
    std::vector<double> targets(1000), outputs(1000);
    for (std::size_t i = 0; i < 1000; ++i) targets[i] = double(i % 2), outputs[i] = i % 4 == 0 ? 1 : targets[i];  // a quarter missed
    for (int round = 0; round < 50; ++round) f.Add(targets, outputs);
    f.Add(std::vector<double>{1}, std::vector<double>{kNaN});
    EXPECT_EQ(f.Records(), 50001u);
    EXPECT_EQ(f.Unusable(), 1u);
    EXPECT_EQ(f.Points().size(), FitSample::kSize);
    EXPECT_DOUBLE_EQ(f.MeanAbsoluteError(), 0.25);
    EXPECT_EQ(f.MeanRelativeError(), 0);
    EXPECT_EQ(f.Classes()[0][1], 12500u);
    EXPECT_EQ(f.Classes()[1][1], 25000u);
    const Density d = BinPoints(f, 8, 8);
    const Bars b = ResidualBars(f, 8);
    EXPECT_NEAR(std::accumulate(d.counts.begin(), d.counts.end(), 0.0), 50000, 10);
    EXPECT_NEAR(std::accumulate(b.heights.begin(), b.heights.end(), 0.0), 50000, 10);
    EXPECT_NEAR(b.heights.back(), 12500, 400);  // the misses: output 1 on target 0
}

TEST(Tree, CentresFunctionsOverArgumentsAndRefusesHugeTrees) {
    // "+" over "d0" and "Q", which is over "d1".
    const std::vector<TreeNode> nodes = {{"+", {1, 2}}, {"d0", {}}, {"sqrt", {3}}, {"d1", {}}};
    const auto doc = ParseSvg(TreeSvg(nodes));
    std::map<std::string, double> centre;
    for (auto r : doc.select_nodes("//rect")) {
        const auto rect = r.node();
        centre[rect.next_sibling("text").text().get()] =
            rect.attribute("x").as_double() + rect.attribute("width").as_double() / 2;
    }
    ASSERT_EQ(centre.size(), 4u);
    EXPECT_DOUBLE_EQ(centre["+"], (centre["d0"] + centre["sqrt"]) / 2);
    EXPECT_DOUBLE_EQ(centre["sqrt"], centre["d1"]);

    std::vector<TreeNode> wide{{"+", {}}};
    for (std::size_t i = 1; i <= 60; ++i) wide[0].children.push_back(i), wide.push_back({"d0", {}});
    std::vector<TreeNode> deep;
    for (std::size_t i = 0; i < 100; ++i) deep.push_back({"Q", {i + 1}});
    deep.push_back({"d0", {}});
    const std::vector<TreeNode> cyclic = {{"+", {0, 5}}};  // itself, and a child past the end
    EXPECT_EQ(TreeSvg(wide), "");
    EXPECT_EQ(TreeSvg(deep), "");
    EXPECT_EQ(ParseSvg(TreeSvg(cyclic)).select_nodes("//rect").size(), 1u);
}

}  // namespace
}  // namespace orv::report
