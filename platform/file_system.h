// Folder and file-name operations of the operating system.
#pragma once

#include <string>

namespace platform {

// The path separator: '\\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

// Creates one folder; false when it exists already or cannot be made.
bool CreateFolder(const std::string& path);

// Deletes one file. True means the system accepted the request; on some systems the name
// can outlive a successful delete for a while (PathExists tells).
bool RemoveFile(const std::string& path);

// Gives the file `from` the name `to`, in one step that replaces a file `to` already there,
// so that `to` is always either the old file or the new one. Both must be on one volume;
// FlushFolder on their folder makes the change durable.
bool RenameFile(const std::string& from, const std::string& to);

// Gives the file `from` the name `to` only where no file has that name: false, with the
// error LastErrorIsAlreadyThere tells, when one has, which is left as it is. So a file made
// under a name of its own appears under `to` only as a whole (claimed, say) and never
// replaces another program's.
bool RenameToNewName(const std::string& from, const std::string& to);

// True when `path` names an existing file or folder.
bool PathExists(const std::string& path);

// Shows a file that kCreateHidden made hidden, before it takes its final name.
bool Unhide(const std::string& path);

// True when a file named `name` can be made in `folder` (made later if it does not exist
// yet): the name is no longer than the file system there allows.
bool NameFits(const std::string& folder, const std::string& name);

// Makes the entries of a folder (created and removed names) durable where the system
// needs that separately from the files' own data.
bool FlushFolder(const std::string& folder);

}  // namespace platform
