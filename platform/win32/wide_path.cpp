#include "platform/win32/wide_path.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

// The longest path the calls take without the prefix: a folder made by CreateDirectory must
// leave room for a 8.3 name below it (MAX_PATH - 12), and a file path is no longer anyway.
constexpr std::size_t kLongestUnprefixed = MAX_PATH - 12 - 1;

bool HasPrefix(const std::wstring& path) {
    return path.size() >= 4 && path[0] == L'\\' && path[1] == L'\\' &&
           (path[2] == L'?' || path[2] == L'.') && path[3] == L'\\';
}

}  // namespace

std::wstring FullWidePath(const std::wstring& path) {
    if (path.empty() || HasPrefix(path)) {
        return path;
    }
    // The first call tells the size, the second fills; a folder renamed in between can
    // only make the second one ask again, which then counts as not told.
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return path;
    }
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size) {
        return path;
    }
    full.resize(length);
    return full;
}

bool WidePath(const std::string& path, std::wstring* wide) {
    if (!ToWide(CP_ACP, path, wide)) {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    if (HasPrefix(*wide)) {
        return true;
    }
    // Short paths are left to the system as they are, so that they mean what they meant;
    // a relative one is measured with the current folder before it.
    const std::wstring full = FullWidePath(*wide);
    if (full.size() <= kLongestUnprefixed) {
        return true;
    }
    if (HasPrefix(full)) {
        *wide = full;  // a device, which takes no other prefix
    } else if (full.size() > 2 && full[0] == L'\\' && full[1] == L'\\') {
        *wide = L"\\\\?\\UNC" + full.substr(1);  // \\server\share\x
    } else {
        *wide = L"\\\\?\\" + full;
    }
    return true;
}

}  // namespace platform
