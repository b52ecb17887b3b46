// Converts the run file (the one argument) into the reference host and
// prints the run as JSON.
#include <iostream>

#include "adapter/V2Adapter.h"
#include "host/HostJson.h"

int main(int, char** argv) {
    orv::refhost::ReferenceHost host;
    auto run = host.CreateRun();
    orv::V2Adapter(host).Convert(argv[1], run);
    orv::refhost::WriteRunJson(std::cout, *run, orv::refhost::ToUtf8("windows-1252"));
    std::cout << '\n';
}
