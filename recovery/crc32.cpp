// The folding kernel for the whole 16-byte blocks of anything long enough to pay for it, where
// the processor has it; the system's own for the rest.
#include "recovery/crc32.h"

#include "recovery/cpu_features.h"
#include "recovery/crc32_kernel.h"
#include "recovery/system_crc32.h"

namespace recovery {

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
#ifndef SECANTO_NO_X86_KERNELS
    static const bool folds = DetectCpuFeatures().clmul;
    if (folds && size >= 64) {
        // The kernel works on the register itself; the standard CRC inverts it before and after.
        const std::size_t blocks = size & ~std::size_t{15};
        crc = ~kernels::Crc32Clmul(~crc, p, blocks);
        p += blocks;
        size -= blocks;
    }
#endif
    return SystemCrc32(crc, p, size);
}

}  // namespace recovery
