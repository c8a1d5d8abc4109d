// Fails the Nth file operation of a job, the way SQLite sweeps its I/O, and keeps a ledger
// of what the job left open, wrote, flushed and deleted.
//
// The system calls under the platform layer are redirected at link time (--wrap) to the
// wrappers in wrap_posix.cpp or wrap_win32.cpp, which ask this file whether to fail. Only
// threads other than the one that armed the injector are watched, so the test's own file
// work is never counted or failed.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace faults {

enum class Op {
    kOpen,  // open or create a file, open a folder to flush it
    kRead,  // read a file, or step through a folder listing
    kWrite,
    kFlush,         // fsync, FlushFileBuffers
    kClose,         // close a file or a listing
    kDelete,        // unlink, DeleteFileW
    kCreateFolder,  // mkdir, CreateDirectoryW
    kLength,        // fstat, GetFileSizeEx
    kList,          // start a folder listing
    kCopy,          // copy_file_range: a copy inside the system, from one file into another
    kRename,        // rename, MoveFileExW
};
const char* OpName(Op op);

enum class Persistence {
    kTransient,   // only operation N fails
    kPersistent,  // operation N and every one after it fail
};

struct Injected {
    Op op;
    std::string path;
    bool readOnly;  // on a file opened for reading, or a folder listing
};

struct FileState {
    std::uint64_t flushedSize = 0;  // the length at its last successful flush
    bool dirty = false;             // created or written since then
};

// The ledger at the moment of a deletion.
struct Deletion {
    std::string path;
    bool succeeded = false;
    std::map<std::string, FileState> written;   // every file the job created or wrote
    std::vector<std::string> unflushedFolders;  // folders with new entries not yet flushed
};

struct Record {
    long operations = 0;   // operations counted
    bool reached = false;  // operation N came
    std::vector<Injected> injected;
    std::vector<Deletion> deletions;
    std::vector<std::string> stillOpen;  // files and listings the job opened and left open
};

// Starts watching every thread but the calling one. `failAt` counts from 1; 0 fails nothing.
void Arm(long failAt, Persistence persistence);
// Stops watching and returns what was seen.
Record Disarm();

// While set, every copy inside the system on a watched thread copies nothing and reports
// the end of its source, as some kernels and file systems do before the end.
void CopiesEndEarly(bool early);
bool CopyEndsEarly();

// --- For the wrappers. Each is called only when Watched() said yes.

// True while armed, on a thread other than the arming one.
bool Watched();
// Counts one operation on `path` and tells whether it must fail.
bool Fail(Op op, const std::string& path, bool readOnly);
// A file (or listing) handle the job opened; `created` when opening made or emptied it.
void Opened(std::intptr_t handle, const std::string& path, bool readOnly, bool created);
// False for handles the job did not open through the wrappers.
bool Lookup(std::intptr_t handle, std::string* path, bool* readOnly);
void Closed(std::intptr_t handle);
void Wrote(const std::string& path);
void Flushed(const std::string& path, std::uint64_t size);
// A name appeared in `folder` (a file created, a folder made); where folders need their own
// flush (POSIX), the ledger expects one before the next deletion.
void EntryAdded(const std::string& folder);
void FolderFlushed(const std::string& folder);
void Deleted(const std::string& path, bool succeeded);
// A file took another name: what the ledger knows of it moves along, and both folders
// changed.
void Renamed(const std::string& from, const std::string& to);

// `path` without trailing separators; its folder.
std::string Normal(const std::string& path);
std::string Parent(const std::string& path);

}  // namespace faults
