// The filter of the open-file dialog, written as pairs of a display text and its patterns
// separated by '|' and ended by "||": "所有文件 (*.*)|*.*||".
#pragma once

#include <string>

// The filter as the system's dialog takes it: every '|' becomes a zero byte, so the result
// ends with two of them. The text is in the ANSI code page and a double-byte character whose
// second byte is the value of '|' stays whole.
std::string SystemFilter(const std::string& barFilter);
