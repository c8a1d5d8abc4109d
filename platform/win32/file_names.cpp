// Names compared as NTFS does: ordinal, without regard to case, on whole characters.
#include "platform/file_names.h"

#include <windows.h>

namespace platform {

namespace {

bool ToWide(const std::string& text, std::wstring* wide) {
    if (text.empty()) {
        wide->clear();
        return true;
    }
    const int size = static_cast<int>(text.size());
    const int length =
        ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    wide->resize(static_cast<std::size_t>(length));
    return ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, &(*wide)[0],
                                 length) == length;
}

}  // namespace

bool SameFileName(const std::string& a, const std::string& b) {
    if (a == b) {
        return true;
    }
    std::wstring wideA;
    std::wstring wideB;
    // A name that does not decode cannot be compared by characters; only the exact bytes
    // above can match it.
    if (!ToWide(a, &wideA) || !ToWide(b, &wideB)) {
        return false;
    }
    return ::CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                  static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace platform
