// Folder listing over FindFirstFileA and FindNextFileA.
#include "platform/folder_listing.h"

#include <windows.h>

namespace platform {

namespace {

FolderListing::Entry ToEntry(const WIN32_FIND_DATAA& data) {
    return {data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
}

}  // namespace

FolderListing::~FolderListing() {
    Close();
}

bool FolderListing::Start(const std::string& folder) {
    Close();
    m_failed = false;
    WIN32_FIND_DATAA data;
    HANDLE handle = ::FindFirstFileA((folder + "*.*").c_str(), &data);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    m_handle = handle;
    m_pending = ToEntry(data);
    m_havePending = true;
    return true;
}

bool FolderListing::Next(Entry* entry) {
    if (m_havePending) {
        *entry = m_pending;
        m_havePending = false;
        return true;
    }
    WIN32_FIND_DATAA data;
    if (m_handle == nullptr) {
        return false;
    }
    if (!::FindNextFileA(m_handle, &data)) {
        m_failed = ::GetLastError() != ERROR_NO_MORE_FILES;
        return false;
    }
    *entry = ToEntry(data);
    return true;
}

void FolderListing::Close() {
    if (m_handle != nullptr) {
        ::FindClose(m_handle);
        m_handle = nullptr;
    }
    m_havePending = false;
}

}  // namespace platform
