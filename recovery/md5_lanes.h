// MD5 of eight byte streams at once, one in each 32-bit lane of the processor's 256-bit
// vectors: PAR2 keeps an MD5 of every piece and of every slice, and these streams are
// independent, while a single MD5 waits on each step's result. The streams advance in
// lockstep, the same number of bytes each, so they end together.
#pragma once

#include <cstddef>
#include <cstdint>

#include "recovery/packet_format.h"

namespace recovery {

class Md5Lanes {
public:
    static constexpr std::size_t kLanes = 8;

    // True when the processor runs the vector kernel; the class may be used only then.
    static bool Available();

    Md5Lanes() { Begin(); }

    // Starts every lane afresh.
    void Begin();
    // Feeds each lane `size` bytes of its own stream. A lane not in use may be given any
    // other lane's bytes, and its digest ignored.
    void Update(const unsigned char* const data[kLanes], std::size_t size);
    // The digest of every lane's stream so far; the lanes are begun again.
    void Finish(Md5Digest digests[kLanes]);

private:
    void Blocks(const unsigned char* const data[kLanes], std::size_t blocks);

    std::uint32_t m_state[4][kLanes];  // word w (a to d) of lane l at [w][l]
    unsigned char m_pending[kLanes][64];
    std::size_t m_fill = 0;  // bytes in each lane's pending block, the same for all
    std::uint64_t m_length = 0;
};

}  // namespace recovery
