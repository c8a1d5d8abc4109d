#include "engine/job_paths.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "platform/code_page.h"
#include "platform/file_names.h"
#include "platform/file_system.h"
#include "platform/path_text.h"

namespace {

const char kMarker[] = "__";

}  // namespace

std::size_t FindInPath(const std::string& path, const std::string& needle, std::size_t from) {
    const char* text = path.c_str();
    for (std::size_t i = 0; i < path.size(); i += platform::CharLength(text + i)) {
        if (i >= from && path.compare(i, needle.size(), needle) == 0) {
            return i;
        }
    }
    return std::string::npos;
}

bool EndsWithSeparator(const std::string& path) {
    const char* text = path.c_str();
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < path.size(); i += platform::CharLength(text + i)) {
        last = i;
    }
    return last != std::string::npos && last + 1 == path.size() &&
           path[last] == platform::kPathSeparator;
}

void AppendSeparator(std::string* path) {
    if (!EndsWithSeparator(*path)) {
        path->push_back(platform::kPathSeparator);
    }
}

std::string FolderOf(const std::string& path) {
    const std::size_t last = platform::LastSeparator(path);
    if (last == std::string::npos) {
        return ".";
    }
    const bool root = last == 0 || path[last - 1] == ':';
    return path.substr(0, root ? last + 1 : last);
}

std::string LastComponent(const std::string& path) {
    const std::size_t last = platform::LastSeparator(path);
    return last == std::string::npos ? path : path.substr(last + 1);
}

std::string InFolder(const std::string& folder, const std::string& name) {
    std::string path = folder;
    AppendSeparator(&path);
    return path + name;
}

std::vector<std::string> CreateFolderChain(const std::string& folder) {
    // Every separator, '/' included (on Windows either may be given), stepping over
    // characters whole.
    std::vector<std::size_t> separators;
    const char* text = folder.c_str();
    for (std::size_t i = 0; i < folder.size(); i += platform::CharLength(text + i)) {
        if (folder[i] == platform::kPathSeparator || folder[i] == '/') {
            separators.push_back(i);
        }
    }
    std::vector<std::string> grown;
    std::string holder;  // the folder the next prefix is made in; empty for the current one
    std::string lastHolder;
    std::size_t lastEnd = std::string::npos;
    for (std::size_t at : separators) {
        if (at == 0) {
            holder = folder.substr(0, 1);
            continue;
        }
        const std::string prefix = folder.substr(0, at);
        if (platform::CreateFolder(prefix)) {
            grown.push_back(holder);
        }
        lastHolder = holder;
        lastEnd = at;
        holder = prefix;
    }
    // With a trailing separator the whole path names the last prefix once more.
    if (platform::CreateFolder(folder)) {
        grown.push_back(lastEnd + 1 == folder.size() ? lastHolder : holder);
    }
    return grown;
}

std::string PieceName(int number, const std::string& fileName) {
    return std::to_string(number) + kMarker + fileName;
}

std::string StagingName(const std::string& outputName) {
    // FNV-1a: stable between runs and builds, which a later join relies on.
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (unsigned char c : outputName) {
        hash = (hash ^ c) * 0x100000001b3u;
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string name = ".secanto-";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name.push_back(kDigits[(hash >> shift) & 15]);
    }
    return name + ".part";
}

bool NameAfterMarker(const std::string& pieceName, std::string* fileName) {
    std::size_t at = FindInPath(pieceName, kMarker);
    if (at == std::string::npos) {
        return false;
    }
    *fileName = pieceName.substr(at + std::strlen(kMarker));
    return true;
}

bool ParsePieceName(const std::string& entry, int* number, std::string* fileName) {
    long long value = 0;
    std::size_t digits = 0;
    for (; digits < entry.size() && entry[digits] >= '0' && entry[digits] <= '9'; ++digits) {
        value = value * 10 + (entry[digits] - '0');
        if (value > INT_MAX) {
            return false;
        }
    }
    if (digits == 0 || entry[0] == '0' || entry.compare(digits, 2, kMarker) != 0) {
        return false;
    }
    *number = static_cast<int>(value);
    *fileName = entry.substr(digits + 2);
    return true;
}

bool ParsePieceNumber(const std::string& name, const std::string& fileName, int* number) {
    std::size_t digits = 0;
    long long value = 0;
    while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9') {
        value = value * 10 + (name[digits] - '0');
        if (value > INT_MAX) {
            return false;
        }
        ++digits;
    }
    if (digits == 0 || name[0] == '0' ||
        !platform::SameFileName(name.substr(digits), kMarker + fileName)) {
        return false;
    }
    *number = static_cast<int>(value);
    return true;
}
