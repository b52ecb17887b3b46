// The whole conversion of a run file of arbitrary bytes into the reference
// host: probe, load (with the version-1.0 upgrade) and every transfer.
#include "FuzzSupport.h"
#include "adapter/V2Adapter.h"
#include "host/ReferenceHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = orv::fuzz::AsFile(data, size);
    orv::refhost::ReferenceHost host;
    auto run = host.CreateRun();
    orv::fuzz::RaisesComError([&] { orv::V2Adapter(host).Convert(path, run); });
    return 0;
}
