// The SHA extensions of x86 (SHA256RNDS2, SHA256MSG1, SHA256MSG2). The state is kept as the
// instructions want it, ABEF and CDGH in two registers; each group of four rounds takes four
// words of the message schedule, the first sixteen from the block, the rest from the
// schedule's own recurrence over the four groups before. Only the kernels are built for these
// instructions, so the rest of the program runs on any processor.
#include <cpuid.h>
#include <immintrin.h>

#include "sums/sha256_blocks.h"

#define SECANTO_SHA_TARGET __attribute__((target("sha,ssse3,sse4.1")))

namespace sums {

namespace {

alignas(16) const std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

struct State {
    __m128i abef;
    __m128i cdgh;
};

SECANTO_SHA_TARGET inline State Load(const std::uint32_t* state) {
    const __m128i cdab =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    const __m128i efgh =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    return State{_mm_alignr_epi8(cdab, efgh, 8), _mm_blend_epi16(efgh, cdab, 0xF0)};
}

SECANTO_SHA_TARGET inline void Store(const State& s, std::uint32_t* state) {
    const __m128i feba = _mm_shuffle_epi32(s.abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(s.cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

// The end of a block: the state before it added to the state after its rounds.
SECANTO_SHA_TARGET inline void AddBefore(State* s, const State& before) {
    s->abef = _mm_add_epi32(s->abef, before.abef);
    s->cdgh = _mm_add_epi32(s->cdgh, before.cdgh);
}

// Words 4i to 4i+3 of the schedule, from the block or from the four groups before, which
// `groups` holds by i % 4.
SECANTO_SHA_TARGET inline __m128i Schedule(__m128i* groups, const unsigned char* block, int i) {
    const __m128i bigEndian = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i words;
    if (i < 4) {
        words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i)),
                                 bigEndian);
    } else {
        words = _mm_sha256msg1_epu32(groups[i & 3], groups[(i - 3) & 3]);
        words = _mm_add_epi32(words, _mm_alignr_epi8(groups[(i - 1) & 3], groups[(i - 2) & 3], 4));
        words = _mm_sha256msg2_epu32(words, groups[(i - 1) & 3]);
    }
    groups[i & 3] = words;
    return _mm_add_epi32(words, _mm_load_si128(reinterpret_cast<const __m128i*>(kRound + 4 * i)));
}

bool Detect() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) {
        return false;
    }
    const bool ssse3 = (c >> 9) & 1;
    const bool sse41 = (c >> 19) & 1;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) {
        return false;
    }
    const bool sha = (b >> 29) & 1;
    return ssse3 && sse41 && sha;
}

}  // namespace

// Asked once: under a hypervisor each CPUID is a trip out of the machine.
bool Sha256BlocksAvailable() {
    static const bool available = Detect();
    return available;
}

SECANTO_SHA_TARGET void Sha256Blocks(std::uint32_t state[8],
                                     const unsigned char* data,
                                     std::size_t blocks) {
    State s = Load(state);
    for (; blocks > 0; --blocks, data += 64) {
        const State before = s;
        __m128i groups[4];
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            const __m128i k = Schedule(groups, data, i);
            s.cdgh = _mm_sha256rnds2_epu32(s.cdgh, s.abef, k);
            s.abef = _mm_sha256rnds2_epu32(s.abef, s.cdgh, _mm_shuffle_epi32(k, 0x0E));
        }
        AddBefore(&s, before);
    }
    Store(s, state);
}

SECANTO_SHA_TARGET void Sha256BlocksTwice(std::uint32_t first[8],
                                          std::uint32_t second[8],
                                          const unsigned char* data,
                                          std::size_t blocks) {
    State x = Load(first);
    State y = Load(second);
    for (; blocks > 0; --blocks, data += 64) {
        const State xBefore = x;
        const State yBefore = y;
        __m128i groups[4];
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            const __m128i k = Schedule(groups, data, i);
            const __m128i high = _mm_shuffle_epi32(k, 0x0E);
            x.cdgh = _mm_sha256rnds2_epu32(x.cdgh, x.abef, k);
            y.cdgh = _mm_sha256rnds2_epu32(y.cdgh, y.abef, k);
            x.abef = _mm_sha256rnds2_epu32(x.abef, x.cdgh, high);
            y.abef = _mm_sha256rnds2_epu32(y.abef, y.cdgh, high);
        }
        AddBefore(&x, xBefore);
        AddBefore(&y, yBefore);
    }
    Store(x, first);
    Store(y, second);
}

SECANTO_SHA_TARGET void Sha256BlocksPair(std::uint32_t first[8],
                                         const unsigned char* firstData,
                                         std::uint32_t second[8],
                                         const unsigned char* secondData,
                                         std::size_t blocks) {
    State x = Load(first);
    State y = Load(second);
    for (; blocks > 0; --blocks, firstData += 64, secondData += 64) {
        const State xBefore = x;
        const State yBefore = y;
        __m128i xGroups[4];
        __m128i yGroups[4];
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            const __m128i xk = Schedule(xGroups, firstData, i);
            const __m128i yk = Schedule(yGroups, secondData, i);
            x.cdgh = _mm_sha256rnds2_epu32(x.cdgh, x.abef, xk);
            y.cdgh = _mm_sha256rnds2_epu32(y.cdgh, y.abef, yk);
            x.abef = _mm_sha256rnds2_epu32(x.abef, x.cdgh, _mm_shuffle_epi32(xk, 0x0E));
            y.abef = _mm_sha256rnds2_epu32(y.abef, y.cdgh, _mm_shuffle_epi32(yk, 0x0E));
        }
        AddBefore(&x, xBefore);
        AddBefore(&y, yBefore);
    }
    Store(x, first);
    Store(y, second);
}

}  // namespace sums
