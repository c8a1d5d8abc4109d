// The folding kernel behind crc32.h, in a file of its own built for PCLMULQDQ and SSE4.1.
#pragma once

#include <cstddef>
#include <cstdint>

namespace recovery {
namespace kernels {

// Continues the CRC register `crc` (not inverted) over `size` bytes, a multiple of 16 and
// at least 64.
std::uint32_t Crc32Clmul(std::uint32_t crc, const unsigned char* data, std::size_t size);

}  // namespace kernels
}  // namespace recovery
