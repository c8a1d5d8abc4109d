// The proposed target folders of a split and of a join.
#include "engine/target_rules.h"

#include "platform/code_page.h"
#include "platform/file_system.h"

namespace {

// Start of the last character `c` at or after `from`, or npos. Only a character's first
// byte is compared, and the first byte of a double-byte character is never ASCII.
std::size_t FindLastChar(const std::string& path, char c, std::size_t from = 0) {
    std::size_t found = std::string::npos;
    const char* text = path.c_str();
    for (std::size_t i = 0; i < path.size(); i += platform::CharLength(text + i)) {
        if (i >= from && path[i] == c) {
            found = i;
        }
    }
    return found;
}

void TrimTrailing(std::string* path, char c) {
    std::size_t end = 0;
    const char* text = path->c_str();
    for (std::size_t i = 0; i < path->size();) {
        const std::size_t length = platform::CharLength(text + i);
        if ((*path)[i] != c) {
            end = i + length;
        }
        i += length;
    }
    path->resize(end);
}

}  // namespace

std::string SplitTargetFor(const std::string& file) {
    const std::size_t separator = FindLastChar(file, platform::kPathSeparator);
    const std::size_t name = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t dot = FindLastChar(file, '.', name);
    return dot == std::string::npos ? std::string() : file.substr(0, dot);
}

std::string JoinTargetFor(const std::string& folder) {
    std::string target = folder;
    TrimTrailing(&target, platform::kPathSeparator);
    const std::size_t separator = FindLastChar(target, platform::kPathSeparator);
    const std::string leaf = target.substr(separator == std::string::npos ? 0 : separator + 1);
    target += platform::kPathSeparator;
    target += leaf;
    // A drive root leaves its colon in the leaf: D:\ gives D:\D, not D:\D:.
    TrimTrailing(&target, ':');
    return target;
}
