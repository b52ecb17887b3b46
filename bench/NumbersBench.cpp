// The inner loops of big runs: reading data values and writing them back, in
// the general form of the upgrade's data files and in the shortest form of
// convert's JSON.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "common/Conversions.h"

namespace {

// Values as data files hold them: up to three integer and four decimal digits.
std::vector<std::string> DataTexts(char separator) {
    std::mt19937 random(3);
    std::vector<std::string> texts;
    for (int i = 0; i < 4096; ++i)
        texts.push_back(std::to_string(random() % 1000) + separator + std::to_string(random() % 10000));
    return texts;
}

std::vector<double> DataValues() {
    std::vector<double> values;
    for (const auto& t : DataTexts('.')) values.push_back(orv::TextToDouble(t, "."));
    return values;
}

void BM_ReadDataValue(benchmark::State& state) {
    const char separator = state.range(0) == 0 ? '.' : ',';
    const auto texts = DataTexts(separator);
    const std::string sep(1, separator);
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(orv::TextToDouble(texts[i++ % texts.size()], sep));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_ReadDataValue)->Arg(0)->Arg(1);

void BM_WriteGeneralForm(benchmark::State& state) {
    const auto values = DataValues();
    std::string out;
    std::size_t i = 0;
    for (auto _ : state) {
        out.clear();
        orv::AppendDoubleText(out, values[i++ % values.size()], ",");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_WriteGeneralForm);

void BM_WriteShortestForm(benchmark::State& state) {
    const auto values = DataValues();
    char buf[64];
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(orv::ShortestDoubleChars(buf, buf + sizeof buf, values[i++ % values.size()]));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_WriteShortestForm);

}  // namespace
