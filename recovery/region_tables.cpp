// Factor tables for the vector kernels, and the word-by-word loop for their leftovers.
#include "recovery/galois_field.h"
#include "recovery/region_kernels.h"

namespace recovery {
namespace kernels {

void MakeNibbleTables(std::uint16_t factor, NibbleTables* tables) {
    for (int group = 0; group < 4; ++group) {
        for (int v = 0; v < 16; ++v) {
            const std::uint16_t product =
                gf::Multiply(factor, static_cast<std::uint16_t>(v << (4 * group)));
            tables->low[group][v] = static_cast<std::uint8_t>(product & 0xFF);
            tables->high[group][v] = static_cast<std::uint8_t>(product >> 8);
        }
    }
}

void MakeBitMatrices(std::uint16_t factor, std::uint64_t matrices[4]) {
    for (int m = 0; m < 4; ++m) {
        const int outShift = (m >> 1) * 8;  // output byte: low for 0 and 1, high for 2 and 3
        const int inShift = (m & 1) * 8;    // input byte: low for 0 and 2, high for 1 and 3
        std::uint64_t matrix = 0;
        for (int i = 0; i < 8; ++i) {
            std::uint64_t row = 0;
            for (int j = 0; j < 8; ++j) {
                const std::uint16_t column =
                    gf::Multiply(factor, static_cast<std::uint16_t>(1u << (inShift + j)));
                row |= static_cast<std::uint64_t>((column >> (outShift + i)) & 1) << j;
            }
            // The instruction takes output bit i from byte 7 - i.
            matrix |= row << (8 * (7 - i));
        }
        matrices[m] = matrix;
    }
}

void MultiplyAccumulateWords(std::uint8_t* dst,
                             const std::uint8_t* src,
                             std::size_t size,
                             std::uint16_t factor) {
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const std::uint16_t word = static_cast<std::uint16_t>(src[i] | src[i + 1] << 8);
        const std::uint16_t product = gf::Multiply(factor, word);
        dst[i] ^= static_cast<std::uint8_t>(product & 0xFF);
        dst[i + 1] ^= static_cast<std::uint8_t>(product >> 8);
    }
}

}  // namespace kernels
}  // namespace recovery
