// Folder listing over FindFirstFileW and FindNextFileW, names given in the ANSI code page:
// the wide calls hold a name of any length Windows allows, which the ANSI ones cut at
// MAX_PATH bytes (a UTF-8 name may take three bytes per character), and a folder of any
// path length (platform/win32/wide_path.h).
#include "platform/folder_listing.h"

#include <windows.h>

#include "platform/win32/wide_path.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

FolderListing::Entry ToEntry(const WIN32_FIND_DATAW& data) {
    FolderListing::Entry entry;
    // As the ANSI calls give it: a character the code page lacks becomes its default one.
    FromWide(CP_ACP, data.cFileName, &entry.name);
    entry.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return entry;
}

}  // namespace

FolderListing::~FolderListing() {
    Close();
}

bool FolderListing::Start(const std::string& folder) {
    Close();
    m_failed = false;
    std::wstring pattern;
    if (!WidePath(folder + "*.*", &pattern)) {
        return false;
    }
    WIN32_FIND_DATAW data;
    HANDLE handle = ::FindFirstFileW(pattern.c_str(), &data);
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
    WIN32_FIND_DATAW data;
    if (m_handle == nullptr) {
        return false;
    }
    if (!::FindNextFileW(m_handle, &data)) {
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
