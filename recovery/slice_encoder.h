// Recovery slices made in memory from input slices handed in any order, each with its index
// in the set. A split can feed it while it copies, once the File IDs (and so the order of the
// slices) are known from the pieces' lengths and first 16 KiB, when the recovery fits in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace recovery {

class SliceEncoder {
public:
    // The most memory the recovery slices may take.
    static constexpr std::uint64_t kMaxBytes = std::uint64_t{192} << 20;

    // Zeroed room for one recovery slice of `sliceSize` bytes (a multiple of 4) per exponent
    // (each below 65535). False when that is more than kMaxBytes or cannot be had.
    bool Start(std::size_t sliceSize, const std::vector<std::uint32_t>& exponents);

    // Adds input slice `index` (below 32768, each once): `size` bytes, at most the slice
    // size, the rest of the slice counting as zeros.
    void Add(std::uint32_t index, const void* data, std::size_t size);

    std::size_t SliceSize() const { return m_sliceSize; }
    const std::vector<std::uint32_t>& Exponents() const { return m_exponents; }
    // The recovery slice of Exponents()[r].
    const std::uint8_t* Slice(std::size_t r) const { return m_data.get() + r * m_sliceSize; }

private:
    std::size_t m_sliceSize = 0;
    std::vector<std::uint32_t> m_exponents;
    std::unique_ptr<std::uint8_t[]> m_data;
};

}  // namespace recovery
