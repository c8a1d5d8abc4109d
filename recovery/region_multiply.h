// The region multiply-accumulate all recovery arithmetic runs on: dst ^= factor * src over
// 16-bit little-endian words of GF(2^16). The fastest kernel this processor can run is
// chosen once; callers never look at the processor themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "recovery/region_kernels.h"

namespace recovery {

// dst[w] ^= factor * src[w] for every 16-bit little-endian word of the `size` bytes (an even
// count). Any alignment; dst and src must not overlap.
using RegionFunction = void (*)(std::uint8_t* dst,
                                const std::uint8_t* src,
                                std::size_t size,
                                std::uint16_t factor);

// Through the fastest kernel; a factor of 0 changes nothing and costs nothing.
void MultiplyAccumulate(std::uint8_t* dst,
                        const std::uint8_t* src,
                        std::size_t size,
                        std::uint16_t factor);

// A factor with the tables the kernels look its products up in, made once for many regions.
struct PreparedFactor {
    std::uint16_t factor = 0;
    kernels::NibbleTables tables;
};
PreparedFactor PrepareFactor(std::uint16_t factor);

// dst[r] ^= factors[r] * src for every r < count, each region `size` bytes: one pass over
// the source for all of them, where the kernel can share it.
void MultiplyAccumulateMany(std::uint8_t* const dst[],
                            const PreparedFactor factors[],
                            std::size_t count,
                            const std::uint8_t* src,
                            std::size_t size);

// The name of the kernel MultiplyAccumulate uses.
const char* RegionKernelName();

struct RegionKernel {
    const char* name;
    RegionFunction function;
};

// Every kernel this processor can run, the portable one first and the one
// MultiplyAccumulate uses last: for tests and the benchmark.
std::vector<RegionKernel> SupportedRegionKernels();

}  // namespace recovery
