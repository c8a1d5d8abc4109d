// The last error from GetLastError, described by the system in the user's language.
#include "platform/system_error.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace platform {

std::string LastSystemError() {
    const DWORD error = ::GetLastError();
    wchar_t buffer[512];
    // Wide text, so the trimming below sees whole characters; converted once at the end.
    DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                         0, buffer, sizeof buffer / sizeof *buffer, nullptr);
    while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' ||
                          buffer[length - 1] == L' ' || buffer[length - 1] == L'.' ||
                          buffer[length - 1] == L'\x3002')) {
        --length;
    }
    // Some messages run over several lines; the caller prints one.
    for (DWORD i = 0; i < length; ++i) {
        if (buffer[i] == L'\r' || buffer[i] == L'\n') {
            buffer[i] = L' ';
        }
    }
    const std::string fallback = "error " + std::to_string(error);
    if (length == 0) {
        return fallback;
    }
    std::string text;
    return FromWide(CP_ACP, std::wstring(buffer, length), &text) ? text : fallback;
}

bool LastErrorIsNotFound() {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool LastErrorIsAlreadyThere() {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

}  // namespace platform
