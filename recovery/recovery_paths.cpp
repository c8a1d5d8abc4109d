// Separators are found stepping character by character in the narrow code page: in code
// page 936 a trail byte can be '\\'. On Windows '/' separates too.
#include "recovery/recovery_paths.h"

#include "platform/code_page.h"
#include "platform/file_system.h"

namespace recovery {

namespace {

std::size_t LastSeparator(const std::string& path) {
    const char* text = path.c_str();
    std::size_t found = std::string::npos;
    for (std::size_t i = 0; i < path.size(); i += platform::CharLength(text + i)) {
        if (path[i] == platform::kPathSeparator || path[i] == '/') {
            found = i;
        }
    }
    return found;
}

}  // namespace

std::string FolderOfPath(const std::string& path) {
    const std::size_t at = LastSeparator(path);
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string NameOfPath(const std::string& path) {
    const std::size_t at = LastSeparator(path);
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string TemporaryPath(const std::string& path) {
    return FolderOfPath(path) + "." + NameOfPath(path) + ".secanto-part";
}

}  // namespace recovery
