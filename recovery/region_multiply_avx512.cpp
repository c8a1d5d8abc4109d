// AVX-512 region kernel with GFNI: multiplying by a constant is linear over GF(2), so each
// byte of the product is the sum of two 8x8 bit-matrix products (GF2P8AFFINEQB), one of the
// word's low byte and one of its high byte. The low and the high bytes of the words take
// different matrices, chosen by byte masks; a byte swap brings each byte's partner beside it.
#include <immintrin.h>

#include "recovery/region_kernels.h"

namespace recovery {
namespace kernels {

namespace {

struct Matrices {
    __m512i lowFromLow, lowFromHigh, highFromLow, highFromHigh, swap;
};

// Odd bytes are the words' high bytes.
constexpr __mmask64 kHighBytes = 0xAAAAAAAAAAAAAAAAull;

inline __m512i Product(const Matrices& m, __m512i x) {
    const __m512i swapped = _mm512_shuffle_epi8(x, m.swap);
    __m512i same = _mm512_gf2p8affine_epi64_epi8(x, m.lowFromLow, 0);
    same = _mm512_mask_gf2p8affine_epi64_epi8(same, kHighBytes, x, m.highFromHigh, 0);
    __m512i other = _mm512_gf2p8affine_epi64_epi8(swapped, m.lowFromHigh, 0);
    other = _mm512_mask_gf2p8affine_epi64_epi8(other, kHighBytes, swapped, m.highFromLow, 0);
    return _mm512_xor_si512(same, other);
}

}  // namespace

void MultiplyAccumulateAvx512Gfni(std::uint8_t* dst,
                                  const std::uint8_t* src,
                                  std::size_t size,
                                  std::uint16_t factor) {
    std::uint64_t bits[4];
    MakeBitMatrices(factor, bits);
    Matrices m;
    m.lowFromLow = _mm512_set1_epi64(static_cast<long long>(bits[0]));
    m.lowFromHigh = _mm512_set1_epi64(static_cast<long long>(bits[1]));
    m.highFromLow = _mm512_set1_epi64(static_cast<long long>(bits[2]));
    m.highFromHigh = _mm512_set1_epi64(static_cast<long long>(bits[3]));
    m.swap = _mm512_set4_epi32(0x0E0F0C0D, 0x0A0B0809, 0x06070405, 0x02030001);
    std::size_t i = 0;
    for (; i + 128 <= size; i += 128) {
        const __m512i a = Product(m, _mm512_loadu_si512(src + i));
        const __m512i b = Product(m, _mm512_loadu_si512(src + i + 64));
        _mm512_storeu_si512(dst + i, _mm512_xor_si512(_mm512_loadu_si512(dst + i), a));
        _mm512_storeu_si512(dst + i + 64, _mm512_xor_si512(_mm512_loadu_si512(dst + i + 64), b));
    }
    // The rest, under a byte mask: no access beyond the region.
    while (i < size) {
        const std::size_t left = size - i < 64 ? size - i : 64;
        const __mmask64 mask = left == 64 ? ~__mmask64{0} : (__mmask64{1} << left) - 1;
        const __m512i product = Product(m, _mm512_maskz_loadu_epi8(mask, src + i));
        _mm512_mask_storeu_epi8(dst + i, mask,
                                _mm512_xor_si512(_mm512_maskz_loadu_epi8(mask, dst + i), product));
        i += left;
    }
}

}  // namespace kernels
}  // namespace recovery
