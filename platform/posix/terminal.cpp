// A terminal is what isatty says; its text is the locale's, as the program's is.
#include "platform/terminal.h"

#include <unistd.h>

namespace platform {

bool ErrorStreamIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void ShowProgramTextInConsole() {}

void RestoreConsole() {}

}  // namespace platform
