// Names compared as NTFS does (ordinal, without regard to case, on whole characters), and
// taken as the Win32 layer takes them.
#include "platform/file_names.h"

#include <windows.h>

#include <cwctype>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

// The device names, matched without regard to case; the digits of COM and LPT include the
// superscripts 1, 2 and 3, which Windows takes for those digits.
bool IsDeviceName(std::wstring base) {
    for (wchar_t& c : base) {
        c = static_cast<wchar_t>(std::towupper(c));
    }
    static const wchar_t* const kNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* name : kNames) {
        if (base == name) {
            return true;
        }
    }
    const std::wstring digits = L"0123456789\u00b9\u00b2\u00b3";
    return base.size() == 4 &&
           (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           digits.find(base[3]) != std::wstring::npos;
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
    if (!ToWide(CP_ACP, a, &wideA) || !ToWide(CP_ACP, b, &wideB)) {
        return false;
    }
    return ::CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                  static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

NameTaken HowNameIsTaken(const std::string& name) {
    std::wstring wide;
    if (name.empty() || !ToWide(CP_ACP, name, &wide)) {
        return NameTaken::kAsGiven;
    }
    // The device is what the name before its first dot names, blanks at its end dropped.
    std::wstring base = wide.substr(0, wide.find(L'.'));
    base.erase(base.find_last_not_of(L' ') + 1);
    if (IsDeviceName(base)) {
        return NameTaken::kDevice;
    }
    switch (wide.back()) {
        case L'.':
            return NameTaken::kTrailingDot;
        case L' ':
            return NameTaken::kTrailingBlank;
        default:
            return NameTaken::kAsGiven;
    }
}

}  // namespace platform
