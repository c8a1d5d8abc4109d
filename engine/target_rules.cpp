// The proposed target folders of a split and of a join.
#include "engine/target_rules.h"

#include "platform/code_page.h"
#include "platform/file_system.h"

namespace {

// '/' separates on Windows too, where the command line may be given either.
bool IsSeparator(char c) {
    return c == platform::kPathSeparator || c == '/';
}

// Start of the last character at or after `from` for which `match` holds, or npos. Only a
// character's first byte is tested, and the first byte of a double-byte character is never
// ASCII.
template <class Match>
std::size_t FindLast(const std::string& path, Match match, std::size_t from = 0) {
    std::size_t found = std::string::npos;
    const char* text = path.c_str();
    for (std::size_t i = 0; i < path.size(); i += platform::CharLength(text + i)) {
        if (i >= from && match(path[i])) {
            found = i;
        }
    }
    return found;
}

template <class Match>
void TrimTrailing(std::string* path, Match match) {
    std::size_t end = 0;
    const char* text = path->c_str();
    for (std::size_t i = 0; i < path->size();) {
        const std::size_t length = platform::CharLength(text + i);
        if (!match((*path)[i])) {
            end = i + length;
        }
        i += length;
    }
    path->resize(end);
}

}  // namespace

std::string SplitTargetFor(const std::string& file) {
    const std::size_t separator = FindLast(file, IsSeparator);
    const std::size_t name = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t dot = FindLast(
        file, [](char c) { return c == '.'; }, name);
    return dot == std::string::npos ? std::string() : file.substr(0, dot);
}

std::string JoinTargetFor(const std::string& folder) {
    std::string target = folder;
    TrimTrailing(&target, IsSeparator);
    const std::size_t separator = FindLast(target, IsSeparator);
    const std::string leaf = target.substr(separator == std::string::npos ? 0 : separator + 1);
    target += platform::kPathSeparator;
    target += leaf;
    // A drive root leaves its colon in the leaf: D:\ gives D:\D, not D:\D:.
    TrimTrailing(&target, [](char c) { return c == ':'; });
    return target;
}
