// Paths of the files a recovery operation writes: the folder of a path, and the temporary
// name a file is written under before it takes its own.
#pragma once

#include <string>

namespace recovery {

// The folder part of `path` with its final separator, or "" for a bare name.
std::string FolderOfPath(const std::string& path);
// The final component of `path`.
std::string NameOfPath(const std::string& path);
// ".NAME.secanto-part" beside `path`.
std::string TemporaryPath(const std::string& path);

}  // namespace recovery
