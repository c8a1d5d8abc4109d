// The portable region kernel, the reference the others are tested against and the fallback
// where none of them runs: two 256-entry product tables, one per byte of the word.
#include "recovery/galois_field.h"
#include "recovery/region_kernels.h"

namespace recovery {
namespace kernels {

void MultiplyAccumulateGeneric(std::uint8_t* dst,
                               const std::uint8_t* src,
                               std::size_t size,
                               std::uint16_t factor) {
    // Below this the tables cost more than they save.
    if (size < 512) {
        MultiplyAccumulateWords(dst, src, size, factor);
        return;
    }
    std::uint16_t low[256];
    std::uint16_t high[256];
    for (unsigned v = 0; v < 256; ++v) {
        low[v] = gf::Multiply(factor, static_cast<std::uint16_t>(v));
        high[v] = gf::Multiply(factor, static_cast<std::uint16_t>(v << 8));
    }
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const std::uint16_t product = low[src[i]] ^ high[src[i + 1]];
        dst[i] ^= static_cast<std::uint8_t>(product & 0xFF);
        dst[i + 1] ^= static_cast<std::uint8_t>(product >> 8);
    }
}

}  // namespace kernels
}  // namespace recovery
