// Folder listing over opendir and readdir.
#include "platform/folder_listing.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace platform {

FolderListing::~FolderListing() {
    Close();
}

bool FolderListing::Start(const std::string& folder) {
    Close();
    m_failed = false;
    m_handle = ::opendir(folder.c_str());
    return m_handle != nullptr;
}

bool FolderListing::Next(Entry* entry) {
    if (m_handle == nullptr) {
        return false;
    }
    // readdir tells an error from the end only through errno.
    errno = 0;
    struct dirent* item = ::readdir(static_cast<DIR*>(m_handle));
    if (item == nullptr) {
        m_failed = errno != 0;
        return false;
    }
    entry->name = item->d_name;
    if (item->d_type == DT_UNKNOWN) {
        struct stat info;
        entry->isFolder =
            ::fstatat(::dirfd(static_cast<DIR*>(m_handle)), item->d_name, &info, 0) == 0 &&
            S_ISDIR(info.st_mode);
    } else {
        entry->isFolder = item->d_type == DT_DIR;
    }
    return true;
}

void FolderListing::Close() {
    if (m_handle != nullptr) {
        ::closedir(static_cast<DIR*>(m_handle));
        m_handle = nullptr;
    }
}

}  // namespace platform
