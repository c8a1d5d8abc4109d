// CRC-32 by folding with carry-less multiplication: four 128-bit lanes of the message are
// folded forward 64 bytes at a time, then into one, then reduced to 32 bits (Barrett). The
// constants are powers of x modulo the bit-reflected polynomial.
#include <immintrin.h>

#include "recovery/crc32_kernel.h"

#define SECANTO_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

namespace recovery {
namespace kernels {

namespace {

SECANTO_CLMUL_TARGET inline __m128i Load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// `x` carried forward by the distance the constants stand for, added to `data`.
SECANTO_CLMUL_TARGET inline __m128i Fold(__m128i x, __m128i constants, __m128i data) {
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x, constants, 0x00),
                      _mm_clmulepi64_si128(x, constants, 0x11)),
        data);
}

}  // namespace

SECANTO_CLMUL_TARGET std::uint32_t Crc32Clmul(std::uint32_t crc,
                                              const unsigned char* data,
                                              std::size_t size) {
    const __m128i byFour = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
    const __m128i byOne = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
    const __m128i toThirtyTwo = _mm_set_epi64x(0, 0x163cd6124);
    const __m128i barrett = _mm_set_epi64x(0x1f7011641, 0x1db710641);
    const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
    __m128i x1 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x2 = Load(data + 16);
    __m128i x3 = Load(data + 32);
    __m128i x4 = Load(data + 48);
    data += 64;
    size -= 64;
    for (; size >= 64; data += 64, size -= 64) {
        x1 = Fold(x1, byFour, Load(data));
        x2 = Fold(x2, byFour, Load(data + 16));
        x3 = Fold(x3, byFour, Load(data + 32));
        x4 = Fold(x4, byFour, Load(data + 48));
    }
    x1 = Fold(x1, byOne, x2);
    x1 = Fold(x1, byOne, x3);
    x1 = Fold(x1, byOne, x4);
    for (; size >= 16; data += 16, size -= 16) {
        x1 = Fold(x1, byOne, Load(data));
    }
    // 128 bits to 64, to 32, then the remainder.
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, byOne, 0x10), _mm_srli_si128(x1, 8));
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), toThirtyTwo, 0x00),
                       _mm_srli_si128(x1, 4));
    const __m128i before = x1;
    x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), barrett, 0x10);
    x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), barrett, 0x00);
    return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, before), 1));
}

}  // namespace kernels
}  // namespace recovery
