// A console is a handle that has a console mode; a file or a pipe has none. A console shows
// bytes written to it in its own output code page, which the program sets to its own.
#include "platform/terminal.h"

#include <windows.h>

namespace platform {

namespace {

UINT g_savedOutputCodePage = 0;  // 0: not changed

}  // namespace

bool ErrorStreamIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void ShowProgramTextInConsole() {
    // 0 without a console; then the bytes go to files and pipes as they are.
    const UINT now = ::GetConsoleOutputCP();
    if (now != 0 && now != ::GetACP() && ::SetConsoleOutputCP(::GetACP())) {
        g_savedOutputCodePage = now;
    }
}

void RestoreConsole() {
    if (g_savedOutputCodePage != 0) {
        ::SetConsoleOutputCP(g_savedOutputCodePage);
        g_savedOutputCodePage = 0;
    }
}

}  // namespace platform
