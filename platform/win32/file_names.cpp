// Names compared as NTFS does: ordinal, without regard to case, on whole characters.
#include "platform/file_names.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace platform {

bool SameFileName(const std::string& a, const std::string& b) {
    if (a == b) {
        return true;
    }
    std::wstring wideA;
    std::wstring wideB;
    // A name that does not decode cannot be compared by characters; only the exact bytes
    // above can match it.
    if (!ToWide(CP_ACP, a, &wideA) || !ToWide(CP_ACP, b, &wideB)) {
        return false;
    }
    return ::CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                  static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace platform
