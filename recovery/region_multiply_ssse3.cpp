// SSSE3 region kernel: the word's four 4-bit groups index 16-byte product tables through
// PSHUFB, low and high bytes of 16 words at a time gathered into separate registers.
#include <immintrin.h>

#include "recovery/region_kernels.h"

namespace recovery {
namespace kernels {

void MultiplyAccumulateSsse3(std::uint8_t* dst,
                             const std::uint8_t* src,
                             std::size_t size,
                             std::uint16_t factor) {
    NibbleTables t;
    MakeNibbleTables(factor, &t);
    __m128i low[4];
    __m128i high[4];
    for (int g = 0; g < 4; ++g) {
        low[g] = _mm_load_si128(reinterpret_cast<const __m128i*>(t.low[g]));
        high[g] = _mm_load_si128(reinterpret_cast<const __m128i*>(t.high[g]));
    }
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i lowByte = _mm_set1_epi16(0x00FF);
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 16));
        // Low bytes of the 16 words in one register, high bytes in another.
        const __m128i lo = _mm_packus_epi16(_mm_and_si128(a, lowByte), _mm_and_si128(b, lowByte));
        const __m128i hi = _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8));
        const __m128i n0 = _mm_and_si128(lo, nibble);
        const __m128i n1 = _mm_and_si128(_mm_srli_epi16(lo, 4), nibble);
        const __m128i n2 = _mm_and_si128(hi, nibble);
        const __m128i n3 = _mm_and_si128(_mm_srli_epi16(hi, 4), nibble);
        const __m128i rl = _mm_xor_si128(
            _mm_xor_si128(_mm_shuffle_epi8(low[0], n0), _mm_shuffle_epi8(low[1], n1)),
            _mm_xor_si128(_mm_shuffle_epi8(low[2], n2), _mm_shuffle_epi8(low[3], n3)));
        const __m128i rh = _mm_xor_si128(
            _mm_xor_si128(_mm_shuffle_epi8(high[0], n0), _mm_shuffle_epi8(high[1], n1)),
            _mm_xor_si128(_mm_shuffle_epi8(high[2], n2), _mm_shuffle_epi8(high[3], n3)));
        __m128i* out = reinterpret_cast<__m128i*>(dst + i);
        _mm_storeu_si128(out, _mm_xor_si128(_mm_loadu_si128(out), _mm_unpacklo_epi8(rl, rh)));
        _mm_storeu_si128(out + 1,
                         _mm_xor_si128(_mm_loadu_si128(out + 1), _mm_unpackhi_epi8(rl, rh)));
    }
    MultiplyAccumulateWords(dst + i, src + i, size - i, factor);
}

}  // namespace kernels
}  // namespace recovery
