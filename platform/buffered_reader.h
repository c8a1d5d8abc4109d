// A file read in small blocks through a large read-ahead buffer, so that a copy loop can
// work block by block without paying one system call per block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file.h"

namespace platform {

class BufferedReader {
public:
    explicit BufferedReader(std::size_t bufferSize);

    bool Open(const std::string& path, File::Access access = File::Access::kReadShareDenyWrite) {
        return Reset(m_file.Open(path, access));
    }
    // Reads `size` bytes, fewer only at the end of the file: the count read, 0 at the end,
    // -1 on error. Short reads of the system are filled up, so blocks stay whole.
    std::int64_t Read(void* buffer, std::size_t size);
    // Reads exactly `size` bytes: false when fewer came, at the end or on an error.
    bool ReadExactly(void* buffer, std::size_t size) {
        return Read(buffer, size) == static_cast<std::int64_t>(size);
    }
    // The bytes buffered at the read position, refilled when none are left; `available` is
    // 0 at the end or on an error, which Read then reports.
    const char* Peek(std::size_t* available);
    // Moves the read position to `offset` from the file's start, dropping what is buffered.
    bool SkipTo(std::uint64_t offset) {
        m_begin = m_end = 0;
        return !m_failed && m_file.Seek(offset);
    }
    // Moves the read position over `size` bytes returned by Peek.
    void Skip(std::size_t size) { m_begin += size; }
    // The file itself, for a copy that leaves the buffer out: only while the buffer is
    // empty and no read has failed, else null.
    File* Unbuffered() { return m_begin == m_end && !m_failed ? &m_file : nullptr; }
    bool Length(std::uint64_t* length) const { return m_file.Length(length); }
    bool Stamp(FileStamp* stamp) const { return m_file.Stamp(stamp); }
    // File::RemoveOpened: deletes the file, which `path` must still name, and closes it.
    bool RemoveOpened(const std::string& path, const FileStamp& stamp) {
        return m_file.RemoveOpened(path, stamp);
    }
    std::string FileName() const { return m_file.FileName(); }
    bool Close() { return m_file.Close(); }

private:
    bool Reset(bool opened);
    // Reads the next stretch of the file into the empty buffer: the count, 0 at the end, -1
    // on an error, which sticks: a read after a failed one could skip bytes.
    std::int64_t Fill();

    File m_file;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_failed = false;  // a read failed; every later one fails too
};

}  // namespace platform
