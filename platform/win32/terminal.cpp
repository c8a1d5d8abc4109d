// A console is a handle that has a console mode; a file or a pipe has none.
#include "platform/terminal.h"

#include <windows.h>

namespace platform {

bool ErrorStreamIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace platform
