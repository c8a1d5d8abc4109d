// What the processor and the operating system let the region kernels use, asked once.
#pragma once

namespace recovery {

struct CpuFeatures {
    bool ssse3 = false;
    bool clmul = false;       // PCLMULQDQ with SSE4.1
    bool avx2 = false;        // with the system saving the 256-bit registers
    bool avx512Gfni = false;  // AVX-512 F and BW with GFNI, the 512-bit state saved too
};

const CpuFeatures& DetectCpuFeatures();

}  // namespace recovery
