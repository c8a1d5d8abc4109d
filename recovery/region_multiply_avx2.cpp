// AVX2 region kernel: the SSSE3 kernel's table shuffles on 32 words at a time. Packing and
// unpacking both work within 128-bit lanes, so the words come back in their own order.
#include <immintrin.h>

#include "recovery/region_kernels.h"

namespace recovery {
namespace kernels {

void MultiplyAccumulateAvx2(std::uint8_t* dst,
                            const std::uint8_t* src,
                            std::size_t size,
                            std::uint16_t factor) {
    NibbleTables t;
    MakeNibbleTables(factor, &t);
    __m256i low[4];
    __m256i high[4];
    for (int g = 0; g < 4; ++g) {
        low[g] =
            _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(t.low[g])));
        high[g] = _mm256_broadcastsi128_si256(
            _mm_load_si128(reinterpret_cast<const __m128i*>(t.high[g])));
    }
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i lowByte = _mm256_set1_epi16(0x00FF);
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 32));
        const __m256i lo =
            _mm256_packus_epi16(_mm256_and_si256(a, lowByte), _mm256_and_si256(b, lowByte));
        const __m256i hi = _mm256_packus_epi16(_mm256_srli_epi16(a, 8), _mm256_srli_epi16(b, 8));
        const __m256i n0 = _mm256_and_si256(lo, nibble);
        const __m256i n1 = _mm256_and_si256(_mm256_srli_epi16(lo, 4), nibble);
        const __m256i n2 = _mm256_and_si256(hi, nibble);
        const __m256i n3 = _mm256_and_si256(_mm256_srli_epi16(hi, 4), nibble);
        const __m256i rl = _mm256_xor_si256(
            _mm256_xor_si256(_mm256_shuffle_epi8(low[0], n0), _mm256_shuffle_epi8(low[1], n1)),
            _mm256_xor_si256(_mm256_shuffle_epi8(low[2], n2), _mm256_shuffle_epi8(low[3], n3)));
        const __m256i rh = _mm256_xor_si256(
            _mm256_xor_si256(_mm256_shuffle_epi8(high[0], n0), _mm256_shuffle_epi8(high[1], n1)),
            _mm256_xor_si256(_mm256_shuffle_epi8(high[2], n2), _mm256_shuffle_epi8(high[3], n3)));
        __m256i* out = reinterpret_cast<__m256i*>(dst + i);
        _mm256_storeu_si256(
            out, _mm256_xor_si256(_mm256_loadu_si256(out), _mm256_unpacklo_epi8(rl, rh)));
        _mm256_storeu_si256(
            out + 1, _mm256_xor_si256(_mm256_loadu_si256(out + 1), _mm256_unpackhi_epi8(rl, rh)));
    }
    MultiplyAccumulateWords(dst + i, src + i, size - i, factor);
}

void MultiplyAccumulateManyAvx2(std::uint8_t* const dst[],
                                const NibbleTables* const tables[],
                                const std::uint16_t factors[],
                                std::size_t count,
                                const std::uint8_t* src,
                                std::size_t size) {
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i lowByte = _mm256_set1_epi16(0x00FF);
    const auto table = [](const std::uint8_t* bytes) {
        return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(bytes)));
    };
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 32));
        const __m256i lo =
            _mm256_packus_epi16(_mm256_and_si256(a, lowByte), _mm256_and_si256(b, lowByte));
        const __m256i hi = _mm256_packus_epi16(_mm256_srli_epi16(a, 8), _mm256_srli_epi16(b, 8));
        const __m256i n0 = _mm256_and_si256(lo, nibble);
        const __m256i n1 = _mm256_and_si256(_mm256_srli_epi16(lo, 4), nibble);
        const __m256i n2 = _mm256_and_si256(hi, nibble);
        const __m256i n3 = _mm256_and_si256(_mm256_srli_epi16(hi, 4), nibble);
        for (std::size_t r = 0; r < count; ++r) {
            const NibbleTables& t = *tables[r];
            const __m256i rl =
                _mm256_xor_si256(_mm256_xor_si256(_mm256_shuffle_epi8(table(t.low[0]), n0),
                                                  _mm256_shuffle_epi8(table(t.low[1]), n1)),
                                 _mm256_xor_si256(_mm256_shuffle_epi8(table(t.low[2]), n2),
                                                  _mm256_shuffle_epi8(table(t.low[3]), n3)));
            const __m256i rh =
                _mm256_xor_si256(_mm256_xor_si256(_mm256_shuffle_epi8(table(t.high[0]), n0),
                                                  _mm256_shuffle_epi8(table(t.high[1]), n1)),
                                 _mm256_xor_si256(_mm256_shuffle_epi8(table(t.high[2]), n2),
                                                  _mm256_shuffle_epi8(table(t.high[3]), n3)));
            __m256i* out = reinterpret_cast<__m256i*>(dst[r] + i);
            _mm256_storeu_si256(
                out, _mm256_xor_si256(_mm256_loadu_si256(out), _mm256_unpacklo_epi8(rl, rh)));
            _mm256_storeu_si256(out + 1, _mm256_xor_si256(_mm256_loadu_si256(out + 1),
                                                          _mm256_unpackhi_epi8(rl, rh)));
        }
    }
    for (std::size_t r = 0; r < count; ++r) {
        MultiplyAccumulateWords(dst[r] + i, src + i, size - i, factors[r]);
    }
}

}  // namespace kernels
}  // namespace recovery
