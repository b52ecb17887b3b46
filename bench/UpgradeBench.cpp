// Loading a version-1.0 run file, upgrade included, for growing training
// sets: time and memory should grow in step with the rows.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "legacy_file/clsFileParser.h"

namespace {

namespace fs = std::filesystem;

// Two terminals and the dependent variable for `rows` training records and
// a quarter as many validation records.
fs::path WriteVersion1File(long rows) {
    const long validation = rows / 4;
    const fs::path path = fs::temp_directory_path() / ("orv-bench-v1-" + std::to_string(rows) + ".kvr");
    std::ofstream out(path, std::ios::binary);
    out << "<Zolvane><ORV 1.00>\r\n"
        << "C:\\data#1000#3#30#6#0#" << rows << "#" << validation
        << "#2#0.01#1#100#0.044#0.3#0.3#0.1#0.1#+-*/P#0.1#3#1@2@3@0@0@0@0@0@0@0#0.1#3#1@2@3@0@0@0@0@0@0@0\r\n"
        << "Benchmark run\r\n\r\n\r\n*P*abaabbaabab + *abbaabababab + -abaabbaababa\r\n"
        << "812.5\r\n800\r\n0.97\r\n390.25\r\n400\r\n0.96\r\ntrain.txt\r\ntest.txt\r\n";
    const auto column = [&](const char* tag, long n, long salt) {
        out << tag << "\r\n";
        for (long r = 0; r < n; ++r) out << (r * 7 + salt) % 1000 << '.' << (r + salt) % 100 << "\r\n";
    };
    column("<TerminalA>", rows, 1);
    column("<TerminalB>", rows, 2);
    column("<VarDep>", rows, 3);
    column("<ValTerminalA>", validation, 4);
    column("<ValTerminalB>", validation, 5);
    column("<ValVarDep>", validation, 6);
    return path;
}

void BM_UpgradeVersion1(benchmark::State& state) {
    const long rows = static_cast<long>(state.range(0));
    const fs::path path = WriteVersion1File(rows);
    for (auto _ : state) {
        orv::clsRun run;
        run.GravadoEmVersaoAnterior(true);
        orv::clsFileParser parser;
        parser.LoadFile(path.string(), run);
        if (run.NumeroResultadosExp() != rows) state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(run.TrainValues().data());
    }
    state.SetItemsProcessed(state.iterations() * rows);
    std::error_code ec;
    fs::remove(path, ec);
}
BENCHMARK(BM_UpgradeVersion1)->Arg(50000)->Arg(100000)->Arg(200000)->Arg(400000)->Unit(benchmark::kMillisecond);

}  // namespace
