// The vector kernel behind md5_lanes.h, in a file of its own built for AVX2.
#pragma once

#include <cstddef>
#include <cstdint>

namespace recovery {
namespace kernels {

// Runs `blocks` 64-byte blocks of each lane's `data` through that lane's state (state[w][l]
// is word w, a to d, of lane l).
void Md5LaneBlocksAvx2(std::uint32_t state[4][8],
                       const unsigned char* const data[8],
                       std::size_t blocks);

}  // namespace kernels
}  // namespace recovery
