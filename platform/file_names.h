// How the file system takes names: a name found in a listing is the name of a piece when the
// system would open that piece under it, and a name given for a new folder or file is kept
// as it is, or taken for something else.
#pragma once

#include <string>

namespace platform {

// True when `a` and `b` name the same entry of one folder: on Windows without regard to
// case, character by character in the ANSI code page; elsewhere byte for byte.
bool SameFileName(const std::string& a, const std::string& b);

// What a name given for a new folder or file would name. On Windows a device's name (CON,
// PRN, AUX, NUL, COM0 to COM9, LPT0 to LPT9, with any extension: NUL.TXT) names the device,
// and a dot or a blank at the end of a name is dropped; elsewhere every name is kept.
enum class NameTaken { kAsGiven, kDevice, kTrailingDot, kTrailingBlank };
NameTaken HowNameIsTaken(const std::string& name);

}  // namespace platform
