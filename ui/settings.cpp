// Settings through the profile functions, in the ANSI code page like the paths they hold.
#include "ui/settings.h"

#include <windows.h>

namespace settings {

namespace {

const char kSection[] = "Set";
const char kFile[] = ".\\Set.ini";
const char kPathKey[] = "Path";

}  // namespace

bool ReadOption(const char* key) {
    return GetPrivateProfileIntA(kSection, key, 0, kFile) != 0;
}

void WriteOption(const char* key, bool on) {
    WritePrivateProfileStringA(kSection, key, on ? "1" : "0", kFile);
}

std::string ReadFixedPath() {
    char buffer[kMaxPathBytes + 1] = {};
    GetPrivateProfileStringA(kSection, kPathKey, "", buffer, sizeof buffer, kFile);
    return buffer;
}

void WriteFixedPath(const std::string& path) {
    WritePrivateProfileStringA(kSection, kPathKey, path.c_str(), kFile);
}

}  // namespace settings
