// The reason the system gave for the last failed call, for messages that name the file and
// the cause in one line: "secanto: PATH: reason".
#pragma once

#include <string>

namespace platform {

// The last error of this thread as one line of text in the narrow code page, without a
// final period. Read it right after the failed call: later calls may change it.
std::string LastSystemError();

// True when the last failed call found no file, or no folder on the way to it.
bool LastErrorIsNotFound();

// True when the last failed call would have made a file that exists already.
bool LastErrorIsAlreadyThere();

}  // namespace platform
