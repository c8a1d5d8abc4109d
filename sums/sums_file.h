// SHA256SUMS in a pieces folder, changed by a read-modify-write that no other run of the
// program in that folder can interleave with: under a lock held on a file of its own, the
// new text written under the hidden temporary name .SHA256SUMS.tmp (made new, where a killed
// run's leftover is first removed), flushed, renamed over the list, and the folder flushed.
// A crash leaves either the old list or the new one, whole. None of these names is followed
// where it is a link: the list is then not read, nor the lock taken.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sums/checksum_list.h"

namespace sums {

// The names of the list and of its lock file, which stays, hidden, so that every run locks
// the same file.
extern const char kSumsName[];
extern const char kSumsLockName[];

// The names an update of the list may make in its folder: the list, its lock file, and a
// temporary name as long as any it takes.
std::vector<std::string> SumsFileNames();

// True for the list's own names in a folder: the list, its lock file, and its temporary
// files (made and left only by this program).
bool IsSumsFileName(const std::string& name);

// Reads `folder`'s list under its lock, lets `change` change it, and writes it back unless
// `change` returns false (nothing to write); a list left without a line is removed rather
// than written empty. False, with the path at fault and the system's reason, when the list
// could not be read, written or removed; the list is then unchanged.
bool UpdateSumsFile(const std::string& folder,
                    const std::function<bool(ChecksumList*)>& change,
                    std::string* failedPath,
                    std::string* reason);

}  // namespace sums
