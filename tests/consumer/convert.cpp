// Converts a run file into the reference host and prints the run as JSON.
#include <iostream>

#include "adapter/V2Adapter.h"
#include "common/ComError.h"
#include "host/HostJson.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: orv_consumer_convert FILE\n";
        return 2;
    }
    try {
        orv::refhost::ReferenceHost host;
        auto run = host.CreateRun();
        orv::V2Adapter(host).Convert(argv[1], run);
        orv::refhost::WriteRunJson(std::cout, *run, orv::refhost::ToUtf8("windows-1252"));
        std::cout << '\n';
    } catch (const orv::ComError& e) {
        std::cerr << argv[1] << ": error " << e.Number() << ": " << e.Description() << '\n';
        return 1;
    }
    return 0;
}
