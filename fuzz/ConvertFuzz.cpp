// libFuzzer target: a run file of arbitrary bytes goes through the whole
// conversion into the reference host, and a data file through the import.
// Every input must end in success or a ComError: no crash, no hang, no
// unbounded allocation.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include <unistd.h>

#include "adapter/V2Adapter.h"
#include "common/ComError.h"
#include "host/ReferenceHost.h"
#include "legacy_file/clsFileParser.h"

namespace {

std::string InputPath() {
    static const std::string path = "/tmp/orv-fuzz-" + std::to_string(::getpid()) + ".kvr";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string path = InputPath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    try {
        if (data[0] % 2 == 0) {
            orv::refhost::ReferenceHost host;
            auto run = host.CreateRun();
            orv::V2Adapter(host).Convert(path, run);
        } else {
            orv::clsFileParser parser;
            orv::clsRun record;
            record.FieldNamesExistem(data[0] & 2);
            (void)parser.OpenDataFile(path, (data[0] >> 2) & 1, (data[0] >> 3) & 3, record);
        }
    } catch (const orv::ComError&) {
    }
    return 0;
}
