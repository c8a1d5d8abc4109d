// The last error from GetLastError, described by the system in the user's language.
#include "platform/system_error.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

// Bit 29 marks an error code of the application's own.
constexpr DWORD kRefusalBase = 0x20000000 | 0x5EC0;

// The refusal the error value stands for; false for a value of the system's own.
bool IsRefusal(DWORD error, Refusal* refusal) {
    if (error < kRefusalBase || error > kRefusalBase + static_cast<DWORD>(Refusal::kNotOurs)) {
        return false;
    }
    *refusal = static_cast<Refusal>(error - kRefusalBase);
    return true;
}

}  // namespace

std::string LastSystemError() {
    const DWORD error = ::GetLastError();
    Refusal refusal;
    if (IsRefusal(error, &refusal)) {
        return RefusalWords(refusal);
    }
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

void SetLastRefusal(Refusal refusal) {
    ::SetLastError(kRefusalBase + static_cast<DWORD>(refusal));
}

}  // namespace platform
