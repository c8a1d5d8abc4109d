// Listing of the entries of one folder, in the order the file system gives them.
#pragma once

#include <string>

namespace platform {

class FolderListing {
public:
    struct Entry {
        std::string name;  // without folder
        bool isFolder = false;
    };

    FolderListing() = default;
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;
    ~FolderListing();

    // Starts listing `folder`, which ends with the path separator. False when the folder
    // cannot be read.
    bool Start(const std::string& folder);
    // Steps to the next entry, "." and ".." included; false after the last one, and when
    // the folder could not be read further (then Failed tells).
    bool Next(Entry* entry);
    // True when Next stopped on an error rather than after the last entry.
    bool Failed() const { return m_failed; }
    void Close();

private:
    void* m_handle = nullptr;
    bool m_failed = false;
    bool m_havePending = false;  // Windows yields the first entry together with the handle
    Entry m_pending;
};

}  // namespace platform
