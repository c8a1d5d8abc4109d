// What both systems' hashers share.
#include "platform/sha256.h"

namespace platform {

std::string Sha256::ToHex(const unsigned char* digest, std::size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex(2 * length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 15];
    }
    return hex;
}

}  // namespace platform
