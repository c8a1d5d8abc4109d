// Whether the standard error stream is a terminal a person watches, so that a front end
// draws its progress there only then and never into a log or a pipe.
#pragma once

namespace platform {

// True when standard error is a terminal (Windows: a console).
bool ErrorStreamIsTerminal();

}  // namespace platform
