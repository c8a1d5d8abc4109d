// The kernel table, filled once from the processor's features: the portable kernel first,
// then each faster one the processor runs in its place.
#include "recovery/region_multiply.h"

#include <algorithm>
#include <string>

#include "recovery/cpu_features.h"
#include "recovery/region_kernels.h"

namespace recovery {

namespace {

std::vector<RegionKernel> MakeKernelList() {
    std::vector<RegionKernel> list{{"generic", kernels::MultiplyAccumulateGeneric}};
#ifndef SECANTO_NO_X86_KERNELS
    const CpuFeatures& cpu = DetectCpuFeatures();
    if (cpu.ssse3) {
        list.push_back({"ssse3", kernels::MultiplyAccumulateSsse3});
    }
    if (cpu.avx2) {
        list.push_back({"avx2", kernels::MultiplyAccumulateAvx2});
    }
    if (cpu.avx512Gfni) {
        list.push_back({"avx512-gfni", kernels::MultiplyAccumulateAvx512Gfni});
    }
#endif
    return list;
}

const std::vector<RegionKernel>& Kernels() {
    static const std::vector<RegionKernel> list = MakeKernelList();
    return list;
}

const RegionKernel& Fastest() {
    static const RegionKernel fastest = Kernels().back();
    return fastest;
}

}  // namespace

void MultiplyAccumulate(std::uint8_t* dst,
                        const std::uint8_t* src,
                        std::size_t size,
                        std::uint16_t factor) {
    if (factor == 0) {
        return;
    }
    // Below a vector's worth the tables a kernel makes cost more than the words themselves:
    // solving thousands of short slices is all such calls.
    if (size < 64) {
        kernels::MultiplyAccumulateWords(dst, src, size, factor);
        return;
    }
    Fastest().function(dst, src, size, factor);
}

PreparedFactor PrepareFactor(std::uint16_t factor) {
    PreparedFactor prepared;
    prepared.factor = factor;
    kernels::MakeNibbleTables(factor, &prepared.tables);
    return prepared;
}

void MultiplyAccumulateMany(std::uint8_t* const dst[],
                            const PreparedFactor factors[],
                            std::size_t count,
                            const std::uint8_t* src,
                            std::size_t size) {
#ifndef SECANTO_NO_X86_KERNELS
    // Where AVX2 is the fastest kernel: the wider GFNI kernel goes output by output.
    static const bool shares = std::string(RegionKernelName()) == "avx2";
    if (shares && size >= 64) {
        constexpr std::size_t kMost = 32;
        const kernels::NibbleTables* tables[kMost];
        std::uint16_t plain[kMost];
        std::uint8_t* const* outputs = dst;
        for (std::size_t first = 0; first < count; first += kMost) {
            const std::size_t part = std::min(kMost, count - first);
            for (std::size_t r = 0; r < part; ++r) {
                tables[r] = &factors[first + r].tables;
                plain[r] = factors[first + r].factor;
            }
            kernels::MultiplyAccumulateManyAvx2(outputs + first, tables, plain, part, src, size);
        }
        return;
    }
#endif
    for (std::size_t r = 0; r < count; ++r) {
        MultiplyAccumulate(dst[r], src, size, factors[r].factor);
    }
}

const char* RegionKernelName() {
    return Fastest().name;
}

std::vector<RegionKernel> SupportedRegionKernels() {
    return Kernels();
}

}  // namespace recovery
