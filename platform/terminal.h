// The terminal a person watches: whether the standard error stream is one, so that a front
// end draws its progress there only then and never into a log or a pipe; and the text it
// shows, which must be read in the program's own narrow code page.
#pragma once

namespace platform {

// True when standard error is a terminal (Windows: a console).
bool ErrorStreamIsTerminal();

// Makes the console attached, if any, show the program's narrow text as it is written: on
// Windows its output code page becomes the program's ANSI code page (UTF-8 for a program
// whose manifest asks for it) until RestoreConsole. Elsewhere the terminal's is taken as
// the program's already, and nothing changes.
void ShowProgramTextInConsole();

// Gives the console back the output code page it had before ShowProgramTextInConsole.
void RestoreConsole();

}  // namespace platform
