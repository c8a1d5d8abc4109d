#include "platform/buffered_writer.h"

#include <cstring>

namespace platform {

BufferedWriter::BufferedWriter(std::size_t bufferSize)
    : m_buffer(new char[bufferSize]), m_capacity(bufferSize) {}

BufferedWriter::~BufferedWriter() {
    Close();
}

bool BufferedWriter::Create(const std::string& path, File::Access access) {
    if (m_file.IsOpen() && !Close()) {
        return false;
    }
    m_used = 0;
    m_failed = false;
    return m_file.Open(path, access);
}

bool BufferedWriter::Continue(const std::string& path, std::uint64_t keep) {
    if (m_file.IsOpen() && !Close()) {
        return false;
    }
    m_used = 0;
    m_failed = false;
    std::uint64_t length = 0;
    if (!m_file.Open(path, File::Access::kWriteExisting) || !m_file.Length(&length) ||
        length < keep || !m_file.Truncate(keep) || !m_file.Seek(keep)) {
        m_file.Close();
        return false;
    }
    return true;
}

bool BufferedWriter::Drain() {
    if (m_failed) {
        return false;
    }
    if (m_used > 0 && !m_file.Write(m_buffer.get(), m_used)) {
        m_failed = true;
        return false;
    }
    m_used = 0;
    return true;
}

bool BufferedWriter::Write(const void* data, std::size_t size) {
    if (m_failed || !m_file.IsOpen()) {
        return false;
    }
    if (m_used + size > m_capacity && !Drain()) {
        return false;
    }
    if (size >= m_capacity) {
        m_failed = !m_file.Write(data, size);
        return !m_failed;
    }
    std::memcpy(m_buffer.get() + m_used, data, size);
    m_used += size;
    return true;
}

std::int64_t BufferedWriter::CopyFrom(File& source, std::size_t size) {
    if (m_copyRefused || !Drain()) {
        return -1;
    }
    const std::int64_t copied = m_file.CopyFrom(source, size);
    m_copyRefused = copied < 0;
    return copied;
}

bool BufferedWriter::Truncate(std::uint64_t size) {
    m_used = 0;
    return m_file.Truncate(size);
}

bool BufferedWriter::Flush() {
    if (!Drain() || !m_file.Flush()) {
        m_failed = true;
        return false;
    }
    return true;
}

bool BufferedWriter::StartFlush() {
    if (!Drain()) {
        return false;
    }
    m_file.StartFlush();
    return true;
}

bool BufferedWriter::Close() {
    if (!m_file.IsOpen()) {
        return true;
    }
    bool drained = Drain();
    bool closed = m_file.Close();
    m_used = 0;
    return drained && closed;
}

}  // namespace platform
