// Processors without SHA instructions that this build knows: the system's hash serves alone.
#include <cstdlib>

#include "sums/sha256_blocks.h"

namespace sums {

bool Sha256BlocksAvailable() {
    return false;
}

void Sha256Blocks(std::uint32_t*, const unsigned char*, std::size_t) {
    std::abort();
}

void Sha256BlocksTwice(std::uint32_t*, std::uint32_t*, const unsigned char*, std::size_t) {
    std::abort();
}

void Sha256BlocksPair(std::uint32_t*,
                      const unsigned char*,
                      std::uint32_t*,
                      const unsigned char*,
                      std::size_t) {
    std::abort();
}

}  // namespace sums
