// CRC-32 as Ethernet and zip compute it (polynomial 0x04C11DB7, reflected), which PAR2 keeps
// for every input slice.
#pragma once

#include <cstddef>
#include <cstdint>

namespace recovery {

// Continues `crc` (0 to start) over `size` bytes.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size);

}  // namespace recovery
