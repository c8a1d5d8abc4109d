// The names are matched exactly, so that no other file of the folder is ever taken for one.
#include "recovery/leftovers.h"

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/folder_listing.h"

namespace recovery {

namespace {

const char kSuffix[] = ".secanto-part";

bool IsDigits(const std::string& text, std::size_t begin, std::size_t end) {
    if (begin >= end) {
        return false;
    }
    for (std::size_t i = begin; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return true;
}

// "par2" or "volA+B.par2" (A and B digits).
bool IsRecoveryTail(const std::string& tail) {
    if (tail == "par2") {
        return true;
    }
    const std::string par2 = ".par2";
    if (tail.size() <= 3 + par2.size() || tail.compare(0, 3, "vol") != 0 ||
        tail.compare(tail.size() - par2.size(), par2.size(), par2) != 0) {
        return false;
    }
    const std::size_t end = tail.size() - par2.size();
    const std::size_t plus = tail.find('+', 3);
    return plus != std::string::npos && plus < end && IsDigits(tail, 3, plus) &&
           IsDigits(tail, plus + 1, end);
}

}  // namespace

bool IsLeftoverName(const std::string& name, const std::string& fileName) {
    const std::size_t suffix = sizeof kSuffix - 1;
    if (fileName.empty() || name.size() < 1 + fileName.size() + suffix || name[0] != '.' ||
        name.compare(name.size() - suffix, suffix, kSuffix) != 0) {
        return false;
    }
    const std::string inner = name.substr(1, name.size() - 1 - suffix);
    // NAME.par2 or NAME.volA+B.par2
    if (inner.size() > fileName.size() + 1 && inner.compare(0, fileName.size(), fileName) == 0 &&
        inner[fileName.size()] == '.' && IsRecoveryTail(inner.substr(fileName.size() + 1))) {
        return true;
    }
    // N__NAME, N a piece number
    const std::size_t marker = inner.find("__");
    return marker != std::string::npos && inner[0] != '0' && IsDigits(inner, 0, marker) &&
           inner.compare(marker + 2, std::string::npos, fileName) == 0;
}

std::vector<std::string> RemoveLeftovers(const std::string& folder, const std::string& fileName) {
    std::string base = folder.empty() ? std::string(".") : folder;
    if (base.back() != '/' && base.back() != platform::kPathSeparator) {
        base += platform::kPathSeparator;
    }
    std::vector<std::string> names;
    platform::FolderListing listing;
    if (!listing.Start(base)) {
        return {};
    }
    platform::FolderListing::Entry entry;
    while (listing.Next(&entry)) {
        if (!entry.isFolder && IsLeftoverName(entry.name, fileName)) {
            names.push_back(entry.name);
        }
    }
    listing.Close();
    std::vector<std::string> removed;
    for (const std::string& name : names) {
        if (platform::RemoveLeftover(base + name) == platform::Leftover::kRemoved) {
            removed.push_back(base + name);
        }
    }
    return removed;
}

}  // namespace recovery
