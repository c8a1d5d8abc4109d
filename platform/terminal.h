// The terminal a person watches: whether the standard error stream is one, so that a front
// end draws its progress there only then and never into a log or a pipe; and how the
// program's text reaches it, in the program's own narrow code page, whatever the terminal's.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// True when standard error is a terminal (Windows: a console).
bool ErrorStreamIsTerminal();

// True where "/?" asks a command-line program for its help (Windows, where no name holds a
// '?'); elsewhere it is a path like any other.
extern const bool kSlashQuestionAsksHelp;

// Writes `text`, in the program's narrow code page, to `stream` (standard output or standard
// error), after what the stream holds buffered. On a Windows console the characters are
// written as such (WriteConsoleW), so that the console shows them whatever its own code
// page; to a file, a pipe or a terminal elsewhere the bytes go as they are. False, with the
// system's error set, when it could not all be written.
bool WriteText(std::FILE* stream, const std::string& text);

}  // namespace platform
