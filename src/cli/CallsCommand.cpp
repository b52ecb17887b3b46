// orvconvert calls FILE: converts into the reference host and prints every
// call the conversion made on the host, one JSON object per line.
#include <CLI/CLI.hpp>

#include <iostream>

#include "adapter/V2Adapter.h"
#include "cli/Commands.h"
#include "cli/ErrorLine.h"
#include "cli/LoadAsConvert.h"
#include "host/RecordingHost.h"

namespace orv::cli {

namespace {

void PrintCalls(const FileOptions& opts) {
    refhost::ReferenceHost host;
    refhost::CallLog log(opts.encoding);
    refhost::RecordingFactory factory(host, log);
    auto run = host.CreateRun();
    const auto print = [&] {
        for (const auto& call : log.calls) std::cout << call.dump() << '\n';
        std::cout.flush();
    };
    try {
        Guarded([&] { V2Adapter(factory).Convert(PathArgument(opts.file), refhost::RecordingRun(run, log)); });
    } catch (const ComError& e) {
        // The calls up to the failure are the interesting part.
        print();
        FailWith(opts.file, e);
    }
    print();
}

}  // namespace

void AddCallsCommand(CLI::App& app) {
    AddFileCommand(app, "calls", "Print every call a conversion makes on the host, as JSON lines", PrintCalls);
}

}  // namespace orv::cli
