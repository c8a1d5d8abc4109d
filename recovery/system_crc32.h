// The system's own CRC-32 (zlib, or ntdll on Windows), as crc32.h computes it: for the
// bytes the folding kernel leaves, and on processors without it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace recovery {

std::uint32_t SystemCrc32(std::uint32_t crc, const void* data, std::size_t size);

}  // namespace recovery
