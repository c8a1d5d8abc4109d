// The target folder proposed for a source: by the dialog after a source was picked (unless
// the output folder is fixed), by the command line when no output folder is given. Paths are
// byte strings in the narrow code page; searches and trimming step over multi-byte characters
// whole, so a second byte of 0x5C is never taken for a separator.
#pragma once

#include <string>

// A split's target: the chosen file's path without the extension of its name, so
// D:\films\movie.avi gives D:\films\movie. Empty when the file's name holds no '.'; a '.'
// in a folder above it does not count.
std::string SplitTargetFor(const std::string& file);

// A join's target: a subfolder of the pieces folder named like that folder, so
// D:\pieces\film gives D:\pieces\film\film and the drive root D:\ gives D:\D.
std::string JoinTargetFor(const std::string& folder);
