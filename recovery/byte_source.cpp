// Reads at offsets from memory and from files; a file's position is moved only when needed.
#include "recovery/byte_source.h"

#include <cstring>

namespace recovery {

bool MemorySource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
    if (offset > m_size || size > m_size - offset) {
        return false;
    }
    if (size == 0) {
        return true;  // an empty packet body has no buffer to copy into
    }
    std::memcpy(buffer, m_data + offset, size);
    return true;
}

bool FileSource::Open(const std::string& path) {
    m_position = 0;
    return m_file.Open(path, platform::File::Access::kReadShareDenyWrite) &&
           m_file.Length(&m_length);
}

bool FileSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
    if (offset != m_position) {
        if (!m_file.Seek(offset)) {
            return false;
        }
        m_position = offset;
    }
    char* p = static_cast<char*>(buffer);
    while (size > 0) {
        const std::int64_t got = m_file.Read(p, size);
        if (got <= 0) {
            return false;  // an end before the length measured at opening is an error too
        }
        p += got;
        size -= static_cast<std::size_t>(got);
        m_position += static_cast<std::uint64_t>(got);
    }
    return true;
}

}  // namespace recovery
