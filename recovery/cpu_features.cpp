// CPUID and XGETBV: an instruction set counts only when the system also saves its registers.
#include "recovery/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace recovery {

namespace {

#if defined(__x86_64__) || defined(__i386__)
unsigned long long EnabledRegisterState() {
    unsigned low = 0;
    unsigned high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<unsigned long long>(high) << 32) | low;
}

CpuFeatures Detect() {
    CpuFeatures features;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) {
        return features;
    }
    features.ssse3 = (c >> 9) & 1;
    features.clmul = ((c >> 1) & 1) && ((c >> 19) & 1);
    const bool osSaves = (c >> 27) & 1;
    const bool avx = (c >> 28) & 1;
    if (!osSaves || !avx) {
        return features;
    }
    const unsigned long long state = EnabledRegisterState();
    const bool ymmSaved = (state & 0x6) == 0x6;
    const bool zmmSaved = (state & 0xE6) == 0xE6;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) {
        return features;
    }
    features.avx2 = ymmSaved && ((b >> 5) & 1);
    const bool avx512f = (b >> 16) & 1;
    const bool avx512bw = (b >> 30) & 1;
    const bool gfni = (c >> 8) & 1;
    features.avx512Gfni = zmmSaved && avx512f && avx512bw && gfni;
    return features;
}
#else
CpuFeatures Detect() {
    return CpuFeatures();
}
#endif

}  // namespace

const CpuFeatures& DetectCpuFeatures() {
    static const CpuFeatures features = Detect();
    return features;
}

}  // namespace recovery
