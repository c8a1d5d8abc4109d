// The streams' bookkeeping: the bytes short of a whole block wait in each lane's own block,
// and the padding is laid out alike in every lane, so that the kernel always runs them all.
#include "recovery/md5_lanes.h"

#include <cstring>

#include "recovery/cpu_features.h"
#include "recovery/md5_lanes_kernel.h"

namespace recovery {

namespace {

const std::uint32_t kInitial[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

}  // namespace

bool Md5Lanes::Available() {
#ifdef SECANTO_NO_X86_KERNELS
    return false;
#else
    return DetectCpuFeatures().avx2;
#endif
}

void Md5Lanes::Begin() {
    for (std::size_t word = 0; word < 4; ++word) {
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            m_state[word][lane] = kInitial[word];
        }
    }
    m_fill = 0;
    m_length = 0;
}

void Md5Lanes::Blocks(const unsigned char* const data[kLanes], std::size_t blocks) {
#ifndef SECANTO_NO_X86_KERNELS
    kernels::Md5LaneBlocksAvx2(m_state, data, blocks);
#else
    (void)data;
    (void)blocks;
#endif
}

void Md5Lanes::Update(const unsigned char* const data[kLanes], std::size_t size) {
    m_length += size;
    std::size_t at = 0;
    if (m_fill > 0) {
        at = size < 64 - m_fill ? size : 64 - m_fill;
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            std::memcpy(m_pending[lane] + m_fill, data[lane], at);
        }
        m_fill += at;
        if (m_fill < 64) {
            return;
        }
        const unsigned char* pending[kLanes];
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            pending[lane] = m_pending[lane];
        }
        Blocks(pending, 1);
        m_fill = 0;
    }
    const std::size_t whole = (size - at) / 64;
    const unsigned char* from[kLanes];
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
        from[lane] = data[lane] + at;
    }
    if (whole > 0) {
        Blocks(from, whole);
    }
    m_fill = size - at - whole * 64;
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
        std::memcpy(m_pending[lane], from[lane] + whole * 64, m_fill);
    }
}

void Md5Lanes::Finish(Md5Digest digests[kLanes]) {
    // A one bit, zeros up to the last eight bytes of a block, and the length in bits.
    const std::uint64_t bits = m_length * 8;
    const unsigned char* pending[kLanes];
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
        pending[lane] = m_pending[lane];
        m_pending[lane][m_fill] = 0x80;
        std::memset(m_pending[lane] + m_fill + 1, 0, 63 - m_fill);
    }
    if (m_fill >= 56) {
        Blocks(pending, 1);
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            std::memset(m_pending[lane], 0, 56);
        }
    }
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
        for (int i = 0; i < 8; ++i) {
            m_pending[lane][56 + i] = static_cast<unsigned char>(bits >> (8 * i));
        }
    }
    Blocks(pending, 1);
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
        for (std::size_t i = 0; i < 16; ++i) {
            digests[lane][i] = static_cast<unsigned char>(m_state[i / 4][lane] >> (8 * (i % 4)));
        }
    }
    Begin();
}

}  // namespace recovery
