// Sizes a run file may claim that no real run comes near. A claim past one is
// refused with "Out of memory" before anything is sized from it: the component
// runs inside the host's process, and a few corrupt bytes must not make that
// process allocate gigabytes or call its host millions of times.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv::limits {

// Symbols of one chromosome, (head + tail) times genes: the model's program
// array has one entry per symbol. Real runs stay in the hundreds (a head of 50
// in 10 genes is 1,010 symbols); this is 64 times a head of 1,000 in one gene.
inline constexpr std::int64_t kMaxChromosomeSymbols = 65536;

// Symbols of a function set; each one costs two or three host calls. Real sets
// name a few dozen functions, some repeated to weight them.
inline constexpr std::size_t kMaxFunctionSetSymbols = 4096;

}  // namespace orv::limits
