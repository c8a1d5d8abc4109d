// SHA-256 of a stream of bytes over the processor's block functions (sha256_blocks.h), used
// only where they are available: the partial block, the count and the padding, and two
// streams fed in one pass, the same bytes or as many different ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sums {

class Sha256Stream {
public:
    Sha256Stream() { Reset(); }

    void Update(const char* data, std::size_t size);
    // Feeds `size` bytes to each of the streams, which must be at the same Offset: from
    // `firstData` to the first and from `secondData` to the second (the same pointer for
    // the same bytes).
    static void UpdateBoth(Sha256Stream& first,
                           const char* firstData,
                           Sha256Stream& second,
                           const char* secondData,
                           std::size_t size);
    // Ends the stream: its digest as 64 lower-case hex digits. The next Update starts anew.
    std::string Finish();
    // Where the next byte goes in its 64-byte block.
    std::size_t Offset() const { return m_fill; }

private:
    void Reset();
    // Fills the partial block from `data`, compressing it when it is full; what it took.
    std::size_t Top(const char* data, std::size_t size);

    std::uint32_t m_state[8];
    unsigned char m_block[64];
    std::size_t m_fill;
    std::uint64_t m_length;  // bytes
};

}  // namespace sums
