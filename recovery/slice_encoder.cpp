// The in-memory encoder: one region multiply-accumulate per input and recovery slice.
#include "recovery/slice_encoder.h"

#include <cstring>
#include <new>

#include "recovery/region_multiply.h"
#include "recovery/slice_constants.h"

namespace recovery {

bool SliceEncoder::Start(std::size_t sliceSize, const std::vector<std::uint32_t>& exponents) {
    m_data.reset();
    m_sliceSize = 0;
    m_exponents.clear();
    if (sliceSize == 0 || sliceSize % 4 != 0 || exponents.size() > kMaxBytes / sliceSize) {
        return false;
    }
    m_data.reset(new (std::nothrow) std::uint8_t[exponents.size() * sliceSize]());
    if (!m_data) {
        return false;
    }
    m_sliceSize = sliceSize;
    m_exponents = exponents;
    return true;
}

void SliceEncoder::Add(std::uint32_t index, const void* data, std::size_t size) {
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(data);
    const std::size_t even = size & ~std::size_t{1};
    for (std::size_t r = 0; r < m_exponents.size(); ++r) {
        const std::uint16_t factor = RecoveryCoefficient(index, m_exponents[r]);
        std::uint8_t* out = m_data.get() + r * m_sliceSize;
        MultiplyAccumulate(out, bytes, even, factor);
        if (even != size) {
            // The odd last byte is the low half of a word whose high half is padding.
            const std::uint8_t word[2] = {bytes[even], 0};
            MultiplyAccumulate(out + even, word, 2, factor);
        }
    }
}

}  // namespace recovery
