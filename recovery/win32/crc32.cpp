// CRC-32 from ntdll, which every Windows has: no DLL to ship beside the program.
#include "recovery/system_crc32.h"

#include <windows.h>

extern "C" DWORD WINAPI RtlComputeCrc32(DWORD initial, const BYTE* data, INT size);

namespace recovery {

std::uint32_t SystemCrc32(std::uint32_t crc, const void* data, std::size_t size) {
    const BYTE* p = static_cast<const BYTE*>(data);
    while (size > 0) {
        const std::size_t step = size > (1u << 30) ? (1u << 30) : size;
        crc = RtlComputeCrc32(crc, p, static_cast<INT>(step));
        p += step;
        size -= step;
    }
    return crc;
}

}  // namespace recovery
