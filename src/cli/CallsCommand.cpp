// orvconvert calls FILE: converts into the reference host and prints every
// call the conversion made on the host, one JSON object per line.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "adapter/V2Adapter.h"
#include "cli/Commands.h"
#include "cli/ErrorLine.h"
#include "host/RecordingHost.h"

namespace orv::cli {

void AddCallsCommand(CLI::App& app) {
    auto file = std::make_shared<std::string>();
    CLI::App* cmd = app.add_subcommand("calls", "Print every call a conversion makes on the host, as JSON lines");
    cmd->add_option("FILE", *file, "Run file (.kvr)")->required();
    cmd->callback([file] {
        refhost::ReferenceHost host;
        refhost::CallLog log;
        refhost::RecordingFactory factory(host, log);
        auto run = host.CreateRun();
        const auto print = [&] {
            for (const auto& call : log.calls) std::cout << call.dump() << '\n';
            std::cout.flush();
        };
        try {
            Guarded([&] { V2Adapter(factory).Convert(*file, refhost::RecordingRun(run, log)); });
        } catch (const ComError& e) {
            // The calls up to the failure are the interesting part.
            print();
            FailWith(*file, e);
        }
        print();
    });
}

}  // namespace orv::cli
