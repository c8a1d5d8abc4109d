// The stream's bookkeeping over the system's hash: a failed update spoils only its stream.
#include "platform/sha256.h"

#include <cerrno>

namespace platform {

bool Sha256::Update(const void* data, std::size_t size) {
    if (m_failed) {
        return false;
    }
    if (!m_streaming) {
        m_streaming = true;
        if (!m_hash.Begin()) {
            m_failed = true;
            return false;
        }
    }
    if (!m_hash.Update(data, size)) {
        m_failed = true;
        return false;
    }
    return true;
}

bool Sha256::Finish(std::string* hex) {
    const bool failed = m_failed;
    const bool begun = m_streaming;
    m_streaming = false;
    m_failed = false;
    if (failed) {
        errno = EIO;
        return false;
    }
    unsigned char digest[32];
    if ((!begun && !m_hash.Begin()) || !m_hash.End(digest)) {
        return false;
    }
    *hex = ToHex(digest, sizeof digest);
    return true;
}

std::string ToHex(const unsigned char* bytes, std::size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex(2 * length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        hex[2 * i] = kDigits[bytes[i] >> 4];
        hex[2 * i + 1] = kDigits[bytes[i] & 15];
    }
    return hex;
}

}  // namespace platform
