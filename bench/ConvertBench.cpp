// Converts a generated version-2.0 run file with a large training set into
// the reference host: the whole road, probe, load and transfer.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "adapter/V2Adapter.h"
#include "host/ReferenceHost.h"

namespace {

// A run with four terminals; rows of five numbers until the training text
// holds at least trainBytes.
std::filesystem::path WriteRunFile(std::size_t trainBytes) {
    const auto path = std::filesystem::temp_directory_path() / "orv-bench-convert.kvr";
    std::string train;
    train.reserve(trainBytes + 64);
    std::size_t rows = 0;
    while (train.size() < trainBytes) {
        if (rows) train += "\r\n";
        const auto r = static_cast<double>(rows);
        for (int f = 0; f < 5; ++f) {
            if (f) train += ' ';
            train += std::to_string(r * 0.25 + f * 1.5);
        }
        ++rows;
    }
    std::ofstream out(path, std::ios::binary);
    out << "<ORV>\r\n<VERSION>2.0</VERSION>\r\n<NAME>bench</NAME>\r\n<RUN>\r\n<ATTR>\r\n"
        << "<GENERATIONS>1000</GENERATIONS>\r\n<CHROMOSOMES>30</CHROMOSOMES>\r\n<FUNCSET>+-*/</FUNCSET>\r\n"
        << "<GENES>3</GENES>\r\n<HEAD>7</HEAD>\r\n<LFUNCTION>+</LFUNCTION>\r\n"
        << "<CATEGORY>FunctionFinding</CATEGORY>\r\n<ERRTYPE>Absolute</ERRTYPE>\r\n<SELRANGE>100</SELRANGE>\r\n"
        << "<TERMINALS>4</TERMINALS>\r\n<NUMRESTRAIN>" << rows << "</NUMRESTRAIN>\r\n<NUMRESTEST>2</NUMRESTEST>\r\n"
        << "<SEPCHAR>0</SEPCHAR>\r\n</ATTR>\r\n<EVOLVED>\r\n"
        << "<KARVA>+d0*d1d2d3d0d1d2d3d0d1d2d3d0d1d2 + -d1d2d0d1d2d3d0d1d2d3d0d1d2d3d0 + d3</KARVA>\r\n"
        << "<TRNBESTFIT>120.5</TRNBESTFIT>\r\n</EVOLVED>\r\n</RUN>\r\n<VALUES>\r\n\r\n<TRAIN>\r\n"
        << train << "\r\n</TRAIN>\r\n<TEST>\r\n1 2 3 4 5\r\n6 7 8 9 10\r\n</TEST>\r\n</VALUES>\r\n</ORV>\r\n";
    return path;
}

void BM_ConvertIntoReferenceHost(benchmark::State& state) {
    const auto path = WriteRunFile(static_cast<std::size_t>(state.range(0)) << 20);
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    for (auto _ : state) {
        orv::refhost::ReferenceHost host;
        auto run = host.CreateRun();
        orv::V2Adapter(host).Convert(path.string(), run);
        benchmark::DoNotOptimize(run->Data(1).RecordCount());
    }
    state.SetBytesProcessed(bytes * state.iterations());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["file_MB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    std::filesystem::remove(path);
}
BENCHMARK(BM_ConvertIntoReferenceHost)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
