#include "platform/buffered_reader.h"

#include <cstring>

namespace platform {

BufferedReader::BufferedReader(std::size_t bufferSize)
    : m_buffer(new char[bufferSize]), m_capacity(bufferSize) {}

bool BufferedReader::Reset(bool opened) {
    m_begin = m_end = 0;
    m_failed = false;
    return opened;
}

std::int64_t BufferedReader::Fill() {
    if (m_failed) {
        return -1;
    }
    const std::int64_t got = m_file.Read(m_buffer.get(), m_capacity);
    if (got < 0) {
        m_failed = true;
    } else {
        m_begin = 0;
        m_end = static_cast<std::size_t>(got);
    }
    return got;
}

std::int64_t BufferedReader::Read(void* buffer, std::size_t size) {
    char* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        if (m_begin == m_end) {
            const std::int64_t got = Fill();
            if (got < 0) {
                return -1;
            }
            if (got == 0) {
                break;
            }
        }
        std::size_t count = m_end - m_begin < size - done ? m_end - m_begin : size - done;
        std::memcpy(out + done, m_buffer.get() + m_begin, count);
        m_begin += count;
        done += count;
    }
    return static_cast<std::int64_t>(done);
}

const char* BufferedReader::Peek(std::size_t* available) {
    *available = 0;
    if (m_begin == m_end && Fill() <= 0) {
        return nullptr;
    }
    *available = m_end - m_begin;
    return m_buffer.get() + m_begin;
}

}  // namespace platform
