// A file written in small blocks through a large write-behind buffer. What was written
// reaches the file no later than Close, which reports every failure on the way.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/file.h"

namespace platform {

class BufferedWriter {
public:
    explicit BufferedWriter(std::size_t bufferSize);
    // Closes a file still open, buffer included, without reporting; callers that care
    // about the result close it themselves.
    ~BufferedWriter();

    // Creates the file in one of the ways File::Access names for creating (by default
    // created, or emptied if it exists).
    bool Create(const std::string& path, File::Access access = File::Access::kCreateWrite);
    // Opens an existing file to go on writing it after its first `keep` bytes, which it must
    // hold: what follows them is cut off.
    bool Continue(const std::string& path, std::uint64_t keep);
    bool Write(const void* data, std::size_t size);
    // Writes out the buffer, then copies up to `size` bytes from `source` inside the system
    // (File::CopyFrom). Once the system has refused, every later call of this writer
    // returns -1 at once, and the caller copies through buffers.
    std::int64_t CopyFrom(File& source, std::size_t size);
    // Copies through buffers from now on: the system's copy proved unreliable here.
    void RefuseCopy() { m_copyRefused = true; }
    // Writes out the buffer and forces the file's contents down to the medium.
    bool Flush();
    // Writes out the buffer and starts the file's contents on their way to the medium
    // (File::StartFlush); false only when writing out the buffer failed.
    bool StartFlush();
    // Drops what is buffered and cuts the file back to its first `size` bytes.
    bool Truncate(std::uint64_t size);
    // Writes out the buffer and closes the file; the file is closed even on failure.
    bool Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    bool Stamp(FileStamp* stamp) const { return m_file.Stamp(stamp); }
    // True when `path` still names the file being written (File::IsAt).
    bool IsAt(const std::string& path) const { return m_file.IsAt(path); }

private:
    bool Drain();

    File m_file;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity;
    std::size_t m_used = 0;
    bool m_failed = false;       // a write failed: nothing more is accepted
    bool m_copyRefused = false;  // the system cannot copy into this writer's files itself
};

}  // namespace platform
