// Loading time of a version-2.0 run file against the size of its values
// block; bytes per second should stay flat as the file grows.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "legacy_file/clsFileParser.h"

namespace {

// A run file whose training block holds about `megabytes` MB of records with
// "," decimal marks, so that every mark is rewritten on loading.
std::filesystem::path MakeRunFile(std::int64_t megabytes) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("orv-bench-" + std::to_string(megabytes) + "MB.kvr");
    if (std::filesystem::exists(path)) return path;
    std::ofstream out(path, std::ios::binary);
    out << "<ORV>\r\n<VERSION>2.0</VERSION>\r\n<NAME>bench</NAME>\r\n<RUN>\r\n<ATTR>\r\n"
           "<GENERATIONS>100</GENERATIONS>\r\n<PRECISION>0,01</PRECISION>\r\n</ATTR>\r\n</RUN>\r\n"
           "<VALUES>\r\n\r\n<TRAIN>\r\n";
    const std::int64_t target = megabytes * 1024 * 1024;
    std::string chunk;
    char line[96];
    for (int i = 0; i < 10000; ++i) {
        const int n = std::snprintf(line, sizeof line, "%d,%03d;%d,%02d;%d,%04d;%d,%d\r\n", i % 97, i % 1000,
                                    i % 13, i % 100, i % 7, i % 10000, i % 31, i % 10);
        chunk.append(line, static_cast<std::size_t>(n));
    }
    for (std::int64_t written = 0; written < target; written += static_cast<std::int64_t>(chunk.size()))
        out << chunk;
    out << "0;0;0;0\r\n</TRAIN>\r\n<TEST>\r\n1;2;3;4\r\n</TEST>\r\n</VALUES>\r\n</ORV>\r\n";
    return path;
}

void LoadFile(benchmark::State& state) {
    const auto path = MakeRunFile(state.range(0));
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    for (auto _ : state) {
        orv::clsRun run;
        orv::clsFileParser parser;
        parser.LoadFile(path.string(), run);
        benchmark::DoNotOptimize(run.TrainValues().size());
    }
    state.SetBytesProcessed(bytes * static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(LoadFile)->Arg(16)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
