// The checks, on the UTF-8 bytes: every byte they look for is ASCII, which never occurs
// inside a multi-byte UTF-8 character.
#include "recovery/file_name_rules.h"

#include <cctype>

namespace recovery {

namespace {

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

bool IsDeviceName(const std::string& name) {
    // The device is named by what comes before the first dot, trailing spaces left out.
    std::string stem = Upper(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') {
        stem.pop_back();
    }
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (stem == device) {
            return true;
        }
    }
    if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0)) {
        return stem[3] >= '0' && stem[3] <= '9';
    }
    // COM and LPT with a superscript digit: ¹ ² ³ in UTF-8.
    if (stem.size() == 5 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0)) {
        const unsigned char a = static_cast<unsigned char>(stem[3]);
        const unsigned char b = static_cast<unsigned char>(stem[4]);
        return a == 0xC2 && (b == 0xB9 || b == 0xB2 || b == 0xB3);
    }
    return false;
}

}  // namespace

bool IsPlainFileName(const std::string& utf8, std::string* reason) {
    if (utf8.empty() || utf8 == "." || utf8 == "..") {
        *reason = "not a file name";
        return false;
    }
    for (char c : utf8) {
        if (c == '/' || c == '\\') {
            *reason = "names a path, not a file of the folder";
            return false;
        }
        if (c == ':') {
            *reason = "names a drive or a stream";
            return false;
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            *reason = "holds a control character";
            return false;
        }
    }
    if (utf8.back() == '.' || utf8.back() == ' ') {
        *reason = "ends with a dot or a space";
        return false;
    }
    if (IsDeviceName(utf8)) {
        *reason = "names a Windows device";
        return false;
    }
    return true;
}

}  // namespace recovery
