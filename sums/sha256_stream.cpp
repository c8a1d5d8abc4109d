#include "sums/sha256_stream.h"

#include <cstring>

#include "platform/sha256.h"
#include "sums/sha256_blocks.h"

namespace sums {

namespace {

const std::uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

const unsigned char* Bytes(const char* data) {
    return reinterpret_cast<const unsigned char*>(data);
}

}  // namespace

void Sha256Stream::Reset() {
    std::memcpy(m_state, kInitial, sizeof m_state);
    m_fill = 0;
    m_length = 0;
}

std::size_t Sha256Stream::Top(const char* data, std::size_t size) {
    if (m_fill == 0) {
        return 0;
    }
    const std::size_t take = size < 64 - m_fill ? size : 64 - m_fill;
    std::memcpy(m_block + m_fill, data, take);
    m_fill += take;
    if (m_fill == 64) {
        Sha256Blocks(m_state, m_block, 1);
        m_fill = 0;
    }
    return take;
}

void Sha256Stream::Update(const char* data, std::size_t size) {
    m_length += size;
    const std::size_t top = Top(data, size);
    data += top;
    size -= top;
    const std::size_t whole = size / 64;
    Sha256Blocks(m_state, Bytes(data), whole);
    std::memcpy(m_block + m_fill, data + whole * 64, size - whole * 64);
    m_fill += size - whole * 64;
}

void Sha256Stream::UpdateBoth(Sha256Stream& first,
                              const char* firstData,
                              Sha256Stream& second,
                              const char* secondData,
                              std::size_t size) {
    first.m_length += size;
    second.m_length += size;
    const std::size_t top = first.Top(firstData, size);
    second.Top(secondData, size);
    firstData += top;
    secondData += top;
    size -= top;
    const std::size_t whole = size / 64;
    if (firstData == secondData) {
        Sha256BlocksTwice(first.m_state, second.m_state, Bytes(firstData), whole);
    } else {
        Sha256BlocksPair(first.m_state, Bytes(firstData), second.m_state, Bytes(secondData), whole);
    }
    const std::size_t rest = size - whole * 64;
    std::memcpy(first.m_block + first.m_fill, firstData + whole * 64, rest);
    first.m_fill += rest;
    std::memcpy(second.m_block + second.m_fill, secondData + whole * 64, rest);
    second.m_fill += rest;
}

std::string Sha256Stream::Finish() {
    // A one bit, zeros up to the last eight bytes of a block, and the length in bits.
    const std::uint64_t bits = m_length * 8;
    m_block[m_fill++] = 0x80;
    if (m_fill > 56) {
        std::memset(m_block + m_fill, 0, 64 - m_fill);
        Sha256Blocks(m_state, m_block, 1);
        m_fill = 0;
    }
    std::memset(m_block + m_fill, 0, 56 - m_fill);
    for (int i = 0; i < 8; ++i) {
        m_block[56 + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    }
    Sha256Blocks(m_state, m_block, 1);
    unsigned char digest[32];
    for (int i = 0; i < 32; ++i) {
        digest[i] = static_cast<unsigned char>(m_state[i / 4] >> (24 - 8 * (i % 4)));
    }
    Reset();
    return platform::ToHex(digest, sizeof digest);
}

}  // namespace sums
