// AVX2 region kernel: the SSSE3 kernel's table shuffles on 32 words at a time. Packing and
// unpacking both work within 128-bit lanes, so the words come back in their own order.
#include <immintrin.h>

#include "recovery/region_kernels.h"

namespace recovery {
namespace kernels {

namespace {

// The 4-bit groups of 32 words of `src`, bits 0-3, 4-7, 8-11 and 12-15, as byte indices:
// the low bytes of the words in the first half of each 128-bit lane, the high ones after.
struct Nibbles {
    __m256i n[4];
};

inline Nibbles SplitNibbles(const std::uint8_t* src) {
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i lowByte = _mm256_set1_epi16(0x00FF);
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 32));
    const __m256i lo =
        _mm256_packus_epi16(_mm256_and_si256(a, lowByte), _mm256_and_si256(b, lowByte));
    const __m256i hi = _mm256_packus_epi16(_mm256_srli_epi16(a, 8), _mm256_srli_epi16(b, 8));
    return Nibbles{
        {_mm256_and_si256(lo, nibble), _mm256_and_si256(_mm256_srli_epi16(lo, 4), nibble),
         _mm256_and_si256(hi, nibble), _mm256_and_si256(_mm256_srli_epi16(hi, 4), nibble)}};
}

// dst's 32 words ^= the products the tables give for the nibbles.
inline void AccumulateProducts(std::uint8_t* dst,
                               const Nibbles& x,
                               const __m256i low[4],
                               const __m256i high[4]) {
    const __m256i rl = _mm256_xor_si256(
        _mm256_xor_si256(_mm256_shuffle_epi8(low[0], x.n[0]), _mm256_shuffle_epi8(low[1], x.n[1])),
        _mm256_xor_si256(_mm256_shuffle_epi8(low[2], x.n[2]), _mm256_shuffle_epi8(low[3], x.n[3])));
    const __m256i rh = _mm256_xor_si256(_mm256_xor_si256(_mm256_shuffle_epi8(high[0], x.n[0]),
                                                         _mm256_shuffle_epi8(high[1], x.n[1])),
                                        _mm256_xor_si256(_mm256_shuffle_epi8(high[2], x.n[2]),
                                                         _mm256_shuffle_epi8(high[3], x.n[3])));
    __m256i* out = reinterpret_cast<__m256i*>(dst);
    _mm256_storeu_si256(out,
                        _mm256_xor_si256(_mm256_loadu_si256(out), _mm256_unpacklo_epi8(rl, rh)));
    _mm256_storeu_si256(
        out + 1, _mm256_xor_si256(_mm256_loadu_si256(out + 1), _mm256_unpackhi_epi8(rl, rh)));
}

// A factor's tables, each 16 bytes in both 128-bit lanes.
inline void LoadTables(const NibbleTables& t, __m256i low[4], __m256i high[4]) {
    for (int g = 0; g < 4; ++g) {
        low[g] =
            _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(t.low[g])));
        high[g] = _mm256_broadcastsi128_si256(
            _mm_load_si128(reinterpret_cast<const __m128i*>(t.high[g])));
    }
}

}  // namespace

void MultiplyAccumulateAvx2(std::uint8_t* dst,
                            const std::uint8_t* src,
                            std::size_t size,
                            std::uint16_t factor) {
    NibbleTables t;
    MakeNibbleTables(factor, &t);
    __m256i low[4];
    __m256i high[4];
    LoadTables(t, low, high);
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        AccumulateProducts(dst + i, SplitNibbles(src + i), low, high);
    }
    MultiplyAccumulateWords(dst + i, src + i, size - i, factor);
}

void MultiplyAccumulateManyAvx2(std::uint8_t* const dst[],
                                const NibbleTables* const tables[],
                                const std::uint16_t factors[],
                                std::size_t count,
                                const std::uint8_t* src,
                                std::size_t size) {
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        const Nibbles x = SplitNibbles(src + i);
        for (std::size_t r = 0; r < count; ++r) {
            __m256i low[4];
            __m256i high[4];
            LoadTables(*tables[r], low, high);
            AccumulateProducts(dst[r] + i, x, low, high);
        }
    }
    for (std::size_t r = 0; r < count; ++r) {
        MultiplyAccumulateWords(dst[r] + i, src + i, size - i, factors[r]);
    }
}

}  // namespace kernels
}  // namespace recovery
