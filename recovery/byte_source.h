// Where the packet reader reads from: a file, or bytes in memory for tests and fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file.h"

namespace recovery {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Length() const = 0;
    // Reads exactly `size` bytes at `offset` (which the caller keeps within Length()).
    virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) = 0;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const void* data, std::size_t size)
        : m_data(static_cast<const unsigned char*>(data)), m_size(size) {}
    std::uint64_t Length() const override { return m_size; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override;

private:
    const unsigned char* m_data;
    std::size_t m_size;
};

class FileSource : public ByteSource {
public:
    // Opens `path` for reading; false with the system's error set.
    bool Open(const std::string& path);
    // Closes the file; only read, so nothing can be lost.
    void Close() { m_file.Close(); }
    std::uint64_t Length() const override { return m_length; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override;

private:
    platform::File m_file;
    std::uint64_t m_length = 0;
    std::uint64_t m_position = 0;
};

}  // namespace recovery
