// The kernel table, filled once from the processor's features: the portable kernel first,
// then each faster one the processor runs in its place.
#include "recovery/region_multiply.h"

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

const char* RegionKernelName() {
    return Fastest().name;
}

std::vector<RegionKernel> SupportedRegionKernels() {
    return Kernels();
}

}  // namespace recovery
