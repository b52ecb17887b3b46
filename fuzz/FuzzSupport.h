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
#define ORV_FUZZ_CHECK(cond) \
    ((cond) ? void() : (std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond), std::abort()))

namespace orv::fuzz {

// The input as this process's one scratch file, rewritten for every input and
// removed at exit. It lies in /dev/shm where that is a folder (a tmpfs, so a
// write costs no disk), in the system temporary folder otherwise; the
// reference host's own temporary files follow it through TMPDIR.
inline const std::string& AsFile(const std::uint8_t* data, std::size_t size) {
    static const struct Scratch {
        std::string path = [] {
            std::error_code ec;
            const std::string folder = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::string("/dev/shm")
                                           : std::filesystem::temp_directory_path(ec).string();
            ::setenv("TMPDIR", folder.c_str(), 1);
            return folder + "/orv-fuzz-" + std::to_string(::getpid()) + ".kvr";
        }();
        ~Scratch() { std::remove(path.c_str()); }
    } scratch;
    std::FILE* f = std::fopen(scratch.path.c_str(), "wb");
    ORV_FUZZ_CHECK(f != nullptr && std::fwrite(data, 1, size, f) == size && std::fclose(f) == 0);
    return scratch.path;
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Runs f and gives the number of the ComError it raised, 0 for none: that
// error is an accepted outcome, anything else escapes and is a finding.
template <class F>
std::int32_t ComErrorOf(F&& f) {
    try {
        f();
        return 0;
    } catch (const ComError& e) {
        return e.Number();
    }
}

template <class F>
bool RaisesComError(F&& f) {
    return ComErrorOf(f) != 0;
}

}  // namespace orv::fuzz
