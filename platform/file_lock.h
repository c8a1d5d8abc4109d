// An exclusive lock between programs, held on a file of its own, for a read-modify-write of
// a file that several programs may change at once (SHA256SUMS beside pieces of several
// splits). Every program that changes that file takes the lock first.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class FileLock {
public:
    FileLock() = default;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock() { Release(); }

    // Opens or creates the lock file at `path` (hidden, where the system hides files by an
    // attribute) and waits until this program holds its lock.
    // False, with the system's error set, when the file cannot be opened or locked.
    bool Acquire(const std::string& path);
    // Gives the lock up; the lock file stays, so that every program locks the same file.
    void Release();

private:
    std::intptr_t m_handle = -1;  // a HANDLE or a descriptor
};

}  // namespace platform
