// The folder a command writes into: refused before anything is made when the system would
// take one of its names for something else (a device, or a shorter name on Windows) or when
// a file has its name, and explained after a job when it could not be made.
#pragma once

#include <string>

namespace cli {

// True when `folder` can be the output folder: every name in it would be taken as given, and
// what its path names already, if anything, is a folder. Else says which name is not and
// why, adding `remedy` ("give another folder with -o DIR"), and returns false.
bool OutputFolderUsable(const std::string& folder, const std::string& remedy);

// True when the file name `name` would be taken as given in `folder`; else says why not.
bool FileNameTaken(const std::string& folder, const std::string& name);

// After a job could not write in `folder`: when the folder is not there, tries once more to
// make the first missing folder on its path and says why the system refused
// ("secanto: ro/sub: cannot be made: Read-only file system"). True when it said so.
bool ExplainUnmadeFolder(const std::string& folder);

}  // namespace cli
