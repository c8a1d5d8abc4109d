// The region kernels behind region_multiply.h, each in its own file compiled for its own
// instruction set, and the factor tables they share (made with baseline instructions).
#pragma once

#include <cstddef>
#include <cstdint>

namespace recovery {
namespace kernels {

// Per 4-bit group of a word (bits 0-3, 4-7, 8-11, 12-15) and value v of that group: the low
// and the high byte of factor * (v << 4 * group), for byte shuffles.
struct NibbleTables {
    alignas(16) std::uint8_t low[4][16];
    alignas(16) std::uint8_t high[4][16];
};
void MakeNibbleTables(std::uint16_t factor, NibbleTables* tables);

// The product as four 8x8 bit matrices in the layout of GF2P8AFFINEQB: [0] low byte from
// low byte, [1] low from high, [2] high from low, [3] high from high.
void MakeBitMatrices(std::uint16_t factor, std::uint64_t matrices[4]);

// Word by word through the log tables: for the few bytes a vector loop leaves.
void MultiplyAccumulateWords(std::uint8_t* dst,
                             const std::uint8_t* src,
                             std::size_t size,
                             std::uint16_t factor);

void MultiplyAccumulateGeneric(std::uint8_t* dst,
                               const std::uint8_t* src,
                               std::size_t size,
                               std::uint16_t factor);
void MultiplyAccumulateSsse3(std::uint8_t* dst,
                             const std::uint8_t* src,
                             std::size_t size,
                             std::uint16_t factor);
void MultiplyAccumulateAvx2(std::uint8_t* dst,
                            const std::uint8_t* src,
                            std::size_t size,
                            std::uint16_t factor);
void MultiplyAccumulateAvx512Gfni(std::uint8_t* dst,
                                  const std::uint8_t* src,
                                  std::size_t size,
                                  std::uint16_t factor);

// Several outputs from one source, the tables made beforehand: the source's words are split
// into nibbles once for all of them.
void MultiplyAccumulateManyAvx2(std::uint8_t* const dst[],
                                const NibbleTables* const tables[],
                                const std::uint16_t factors[],
                                std::size_t count,
                                const std::uint8_t* src,
                                std::size_t size);

}  // namespace kernels
}  // namespace recovery
