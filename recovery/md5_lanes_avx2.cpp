// AVX2 kernel of md5_lanes.h: the standard's 64 steps on eight states at once, one per
// 32-bit lane. Each lane's block is loaded as two rows of eight words and transposed, so
// that a vector holds the same word of every lane's block.
#include <immintrin.h>

#include "recovery/md5_lanes_kernel.h"

namespace recovery {
namespace kernels {

namespace {

const std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

const int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

inline __m256i Rotate(__m256i x, int bits) {
    return _mm256_or_si256(_mm256_slli_epi32(x, bits), _mm256_srli_epi32(x, 32 - bits));
}

// Rows r[0..7], eight words each, into columns: afterwards r[w] holds word w of every row.
inline void Transpose(__m256i r[8]) {
    __m256i t[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_epi32(r[i], r[i + 1]);
        t[i + 1] = _mm256_unpackhi_epi32(r[i], r[i + 1]);
    }
    __m256i u[8];
    for (int i = 0; i < 8; i += 4) {
        u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
        u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
        u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
        u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    for (int i = 0; i < 4; ++i) {
        r[i] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x20);
        r[i + 4] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x31);
    }
}

}  // namespace

void Md5LaneBlocksAvx2(std::uint32_t state[4][8],
                       const unsigned char* const data[8],
                       std::size_t blocks) {
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(state[0]));
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(state[1]));
    __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(state[2]));
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(state[3]));
    const __m256i ones = _mm256_set1_epi32(-1);
    for (std::size_t block = 0; block < blocks; ++block) {
        __m256i m[16];
        for (int half = 0; half < 2; ++half) {
            for (int lane = 0; lane < 8; ++lane) {
                m[8 * half + lane] = _mm256_loadu_si256(
                    reinterpret_cast<const __m256i*>(data[lane] + 64 * block + 32 * half));
            }
            Transpose(m + 8 * half);
        }
        const __m256i a0 = a;
        const __m256i b0 = b;
        const __m256i c0 = c;
        const __m256i d0 = d;
#pragma GCC unroll 64
        for (int i = 0; i < 64; ++i) {
            __m256i f;
            int word;
            if (i < 16) {
                f = _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d)));
                word = i;
            } else if (i < 32) {
                f = _mm256_xor_si256(c, _mm256_and_si256(d, _mm256_xor_si256(b, c)));
                word = (5 * i + 1) % 16;
            } else if (i < 48) {
                f = _mm256_xor_si256(_mm256_xor_si256(b, c), d);
                word = (3 * i + 5) % 16;
            } else {
                f = _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, ones)));
                word = (7 * i) % 16;
            }
            const __m256i sum = _mm256_add_epi32(
                _mm256_add_epi32(a, f),
                _mm256_add_epi32(m[word], _mm256_set1_epi32(static_cast<int>(kSine[i]))));
            const __m256i next = _mm256_add_epi32(b, Rotate(sum, kShift[i / 16][i % 4]));
            a = d;
            d = c;
            c = b;
            b = next;
        }
        a = _mm256_add_epi32(a, a0);
        b = _mm256_add_epi32(b, b0);
        c = _mm256_add_epi32(c, c0);
        d = _mm256_add_epi32(d, d0);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(state[0]), a);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(state[1]), b);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(state[2]), c);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(state[3]), d);
}

}  // namespace kernels
}  // namespace recovery
