#include "recovery/recovery_paths.h"

#include "platform/path_text.h"

namespace recovery {

std::string FolderOfPath(const std::string& path) {
    const std::size_t at = platform::LastSeparator(path);
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string NameOfPath(const std::string& path) {
    const std::size_t at = platform::LastSeparator(path);
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string TemporaryPath(const std::string& path) {
    return FolderOfPath(path) + "." + NameOfPath(path) + ".secanto-part";
}

}  // namespace recovery
