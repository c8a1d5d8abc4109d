// CRC-32 from zlib.
#include "recovery/system_crc32.h"

#include <climits>

#include <zlib.h>

namespace recovery {

std::uint32_t SystemCrc32(std::uint32_t crc, const void* data, std::size_t size) {
    const Bytef* p = static_cast<const Bytef*>(data);
    uLong value = crc;
    while (size > 0) {
        const uInt step = size > UINT_MAX ? UINT_MAX : static_cast<uInt>(size);
        value = ::crc32(value, p, step);
        p += step;
        size -= step;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace recovery
