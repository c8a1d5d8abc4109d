// Folder and file-name operations over POSIX calls; paths are UTF-8 with '/' as separator.
#include "platform/file_system.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

const char kPathSeparator = '/';

bool CreateFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool RenameToNewName(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the call's flag: a second name that cannot replace one, then
    // the first name dropped.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

bool PathExists(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

bool Unhide(const std::string&) {
    // A leading dot hides a file here, and the final name has none.
    return true;
}

bool NameFits(const std::string& folder, const std::string& name) {
    // The limit is the file system's; a folder not made yet will lie on the file system of
    // the nearest folder above it that exists.
    std::string existing = folder.empty() ? "." : folder;
    long limit = -1;
    for (;;) {
        errno = 0;
        limit = ::pathconf(existing.c_str(), _PC_NAME_MAX);
        if (limit >= 0 || errno != ENOENT || existing == "." || existing == "/") {
            break;
        }
        const std::string::size_type slash = existing.find_last_of('/', existing.size() - 2);
        existing = slash == std::string::npos ? "." : slash == 0 ? "/" : existing.substr(0, slash);
    }
    if (limit < 0) {
        limit = NAME_MAX;
    }
    if (name.size() > static_cast<std::size_t>(limit)) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

bool FlushFolder(const std::string& folder) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool flushed = ::fsync(fd) == 0;
    // The folder was only read: its close can report nothing about the entries, which
    // the flush has already made durable or failed on.
    ::close(fd);
    return flushed;
}

}  // namespace platform
