// What the harnesses share: the input written to a scratch file on a memory
// file system, a check that aborts (so that both libFuzzer and the replay
// report it), and the one outcome every input may have besides success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <unistd.h>

#include "common/ComError.h"

// A broken invariant is a finding: abort with the condition's text.
#define ORV_FUZZ_CHECK(cond)                                                        \
    do {                                                                            \
        if (!(cond)) {                                                              \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                           \
        }                                                                           \
    } while (0)

namespace orv::fuzz {

// The folder for every file an input needs: /dev/shm where it is a folder
// (a tmpfs, so a write costs no disk), the system temporary folder otherwise.
// The reference host's own temporary files follow it through TMPDIR.
inline const std::string& ScratchFolder() {
    static const std::string folder = [] {
        std::error_code ec;
        std::string f = std::filesystem::is_directory("/dev/shm", ec)
                            ? std::string("/dev/shm")
                            : std::filesystem::temp_directory_path(ec).string();
        ::setenv("TMPDIR", f.c_str(), 1);
        return f;
    }();
    return folder;
}

// One file per process, rewritten for every input and removed at exit.
class ScratchFile {
public:
    explicit ScratchFile(std::string_view name)
        : path_(ScratchFolder() + "/orv-fuzz-" + std::to_string(::getpid()) + "-" + std::string(name)) {}
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& Write(const std::uint8_t* data, std::size_t size) const {
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        ORV_FUZZ_CHECK(f != nullptr);
        ORV_FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
        ORV_FUZZ_CHECK(std::fclose(f) == 0);
        return path_;
    }

private:
    std::string path_;
};

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Runs f; a ComError is an accepted outcome and is answered, anything else
// escapes and is reported as a finding.
template <class F>
bool RaisesComError(F&& f) {
    try {
        f();
        return false;
    } catch (const ComError&) {
        return true;
    }
}

}  // namespace orv::fuzz
