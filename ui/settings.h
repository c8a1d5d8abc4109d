// The settings file ".\Set.ini" in the current directory: two options and the fixed output
// folder, in section "Set". Every call goes to the file; nothing is cached.
#pragma once

#include <cstddef>
#include <string>

namespace settings {

// Keys of the two options.
constexpr char kDeleteSource[] = "D";
constexpr char kFixedPath[] = "PathCheck";

// Longest "Path" read back, in bytes of the ANSI code page.
constexpr std::size_t kMaxPathBytes = 259;

// An option is on when its stored integer is nonzero; a missing file, section or key, or a
// value without leading digits, reads as off.
bool ReadOption(const char* key);
// Stores "1" or "0". Failures are not reported.
void WriteOption(const char* key, bool on);

// The stored folder, empty when none; a longer value comes back cut to kMaxPathBytes.
std::string ReadFixedPath();
// Stores the folder unchanged. Failures are not reported.
void WriteFixedPath(const std::string& path);

}  // namespace settings
