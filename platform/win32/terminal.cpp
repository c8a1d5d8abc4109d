// A console is a handle that has a console mode; a file or a pipe has none. Bytes written to
// a console are read in its output code page, which msvcrt's stream functions do not match
// to the program's (UTF-8 text came out twice encoded): the console is given the characters.
#include "platform/terminal.h"

#include <windows.h>
#include <io.h>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

// The console behind `stream`, or null when it leads to a file, a pipe or nothing.
HANDLE ConsoleOf(std::FILE* stream) {
    const int descriptor = _fileno(stream);
    if (descriptor < 0) {
        return nullptr;
    }
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) ? handle : nullptr;
}

}  // namespace

const bool kSlashQuestionAsksHelp = true;

bool ErrorStreamIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool WriteText(std::FILE* stream, const std::string& text) {
    HANDLE console = ConsoleOf(stream);
    std::wstring wide;
    // Text that is no valid text of the code page goes as bytes, as it would elsewhere.
    if (console == nullptr || !ToWide(CP_ACP, text, &wide)) {
        return std::fputs(text.c_str(), stream) >= 0;
    }
    if (std::fflush(stream) != 0) {
        return false;
    }
    // A console may take fewer characters than given in one call.
    const wchar_t* next = wide.c_str();
    std::size_t left = wide.size();
    while (left > 0) {
        DWORD want = static_cast<DWORD>(left < 16384 ? left : 16384);
        if (want < left && IS_HIGH_SURROGATE(next[want - 1])) {
            --want;  // a character is not cut in two
        }
        DWORD written = 0;
        if (!::WriteConsoleW(console, next, want, &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        next += written;
        left -= written;
    }
    return true;
}

}  // namespace platform
