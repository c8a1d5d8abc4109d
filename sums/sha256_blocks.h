// SHA-256's compression of whole 64-byte blocks with the processor's SHA instructions, for the
// streams of sha256_stream.h: one state, or two states over the same bytes in one pass, which
// computes the message schedule once and keeps the round instructions busy with both states
// (a single state waits on each round's result); or two states over different bytes, which
// keeps them as busy, each with its own schedule.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sums {

// True when the processor has the SHA extensions, SSSE3 and SSE4.1, which the functions below
// need; they may be called only then.
bool Sha256BlocksAvailable();

// Runs `blocks` 64-byte blocks of `data` through `state` (a..h, as the standard numbers them).
void Sha256Blocks(std::uint32_t state[8], const unsigned char* data, std::size_t blocks);
// The same for two states fed the same blocks.
void Sha256BlocksTwice(std::uint32_t first[8],
                       std::uint32_t second[8],
                       const unsigned char* data,
                       std::size_t blocks);
// The same for two states fed different blocks, as many of each.
void Sha256BlocksPair(std::uint32_t first[8],
                      const unsigned char* firstData,
                      std::uint32_t second[8],
                      const unsigned char* secondData,
                      std::size_t blocks);

}  // namespace sums
