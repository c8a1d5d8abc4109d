// A file of the operating system, opened in one of the few ways the jobs need.
// Every call that can fail says so in its result; nothing is thrown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// What tells a file apart from every other and tells whether it changed: the identity of
// the file itself (not of a name for it), its length and the time it was last written.
struct FileStamp {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    std::uint64_t length = 0;
    std::int64_t modified = 0;  // in the system's own units
    bool regular = true;        // a file on a disk, not a pipe or a device
    bool folder = false;

    bool SameFile(const FileStamp& other) const {
        return volume == other.volume && index == other.index;
    }
    // The same file, neither written nor cut since.
    bool Unchanged(const FileStamp& other) const {
        return SameFile(other) && length == other.length && modified == other.modified;
    }
};

// The stamp of the file or folder at `path`, without opening it for reading or writing.
bool StampOf(const std::string& path, FileStamp* stamp);

// What RemoveLeftover found at a name of the program's own.
enum class Leftover {
    kRemoved,  // a file a run left there, which none holds any more: removed
    kNone,     // nothing is there
    kInUse,    // a file another run holds: left to it
    kNotOurs,  // a link, a folder, a FIFO, a device: nothing a run of the program leaves
    kFailed,   // the system's error says why
};

// Removes what a run that ended left at `path`, a name that only the program uses: a file on
// a disk (never a link, nor what one points to) that no run holds, neither by a FileClaim
// nor (on Windows) by an open handle. Anything else there is left as it is; kInUse and
// kNotOurs set the error to say so.
Leftover RemoveLeftover(const std::string& path);

// The size of the read-ahead and write-behind buffers that files are read and written
// through: large enough to make system calls rare. Where each call costs more, it is larger.
extern const std::size_t kFileBufferSize;

class File {
public:
    // What is read as data must be a file on a disk (a link to one is followed where not
    // said otherwise): a FIFO, a device or a socket is refused, and opening one never waits.
    // What is written is never reached through a link, and is a file on a disk too, or a
    // character device, which only the system makes (a terminal, /dev/null).
    enum class Access {
        // Read; other programs may read but not write; the file must exist and be no folder.
        kReadShareDenyWrite,
        // Write, no sharing; the file is created, or emptied if it exists.
        kCreateWrite,
        // Write, no sharing; the file must exist and keeps its contents (used to flush it).
        kWriteExisting,
        // Read, no sharing of writes, for a source deleted after use: kept from writers until
        // RemoveOpened deletes it. The one way to read a pipe, a FIFO or a device, which may
        // wait for a writer.
        kReadDeletable,
        // Read; other programs may read the file, and may replace or delete it meanwhile:
        // for a file that others update by renaming a new one over it. Never through a link.
        kReadReplaceable,
        // Write, no sharing; the file must not exist yet and is created here, so that no
        // other program's file of that name is ever taken over (nor a link's target made).
        kCreateNew,
        // As kCreateNew, for a file of the program's own that a folder view should not show:
        // hidden where the system hides files by an attribute (Windows).
        kCreateHidden,
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
    bool Stamp(FileStamp* stamp) const;
    // True when `path` still names this open file: it was neither removed nor replaced.
    bool IsAt(const std::string& path) const;
    // Deletes the open file, whose stamp was just taken as `stamp` and which `path` must
    // still name, and closes it. False, with the system's error set, when it could not be
    // deleted; the file is closed either way.
    bool RemoveOpened(const std::string& path, const FileStamp& stamp);
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
