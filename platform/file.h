// A file of the operating system, opened in one of the few ways the jobs need.
// Every call that can fail says so in its result; nothing is thrown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// The size of the read-ahead and write-behind buffers that files are read and written
// through: large enough to make system calls rare. Where each call costs more, it is larger.
extern const std::size_t kFileBufferSize;

class File {
public:
    enum class Access {
        // Read; other programs may read but not write; the file must exist and be no folder.
        kReadShareDenyWrite,
        // Write, no sharing; the file is created, or emptied if it exists.
        kCreateWrite,
        // Write, no sharing; the file must exist and keeps its contents (used to flush it).
        kWriteExisting,
    };

    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    // Closes a file that is still open; callers that care about the result call Close first.
    ~File();

    bool Open(const std::string& path, Access access);
    bool IsOpen() const { return m_handle != kInvalid; }

    // Reads up to `size` bytes. Returns the count read, 0 at the end of the file, -1 on error.
    std::int64_t Read(void* buffer, std::size_t size);
    // Writes all `size` bytes. A short write that cannot be completed is an error.
    bool Write(const void* data, std::size_t size);
    // Copies up to `size` bytes from the position of `source` to this file's position inside
    // the system, without passing them through the program, and moves both positions: the
    // count copied, 0 at the end of `source`, -1 where the system cannot copy between these
    // files so or failed to (copying through a buffer then tells which file failed).
    std::int64_t CopyFrom(File& source, std::size_t size);
    // Moves the position to `offset` bytes from the start, for reading or writing there.
    bool Seek(std::uint64_t offset);
    // Forces what was written down to the medium.
    bool Flush();
    // Starts writing what was written down to the medium without waiting for it, so that a
    // Flush that follows has less left to wait for. Only Flush says the bytes are down, and
    // reports what went wrong; where the system cannot start early this does nothing.
    void StartFlush();
    // Cuts the file back to its first `size` bytes.
    bool Truncate(std::uint64_t size);
    bool Length(std::uint64_t* length) const;
    // Closes the file; false when the system reports an error, which may be the first sign
    // of a failed write. The file is closed either way.
    bool Close();

    // Final component of the file's full path, as given to Open.
    std::string FileName() const;

private:
    static constexpr std::intptr_t kInvalid = -1;
    std::intptr_t m_handle = kInvalid;  // a HANDLE or a descriptor
    std::string m_fullPath;
};

}  // namespace platform
