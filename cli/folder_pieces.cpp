#include "cli/folder_pieces.h"

#include <algorithm>
#include <climits>

#include "engine/job_paths.h"
#include "engine/piece_set.h"
#include "platform/file_names.h"
#include "platform/folder_listing.h"
#include "platform/system_error.h"

namespace cli {

bool ParsePieceName(const std::string& entry, int* number, std::string* fileName) {
    long long value = 0;
    std::size_t digits = 0;
    for (; digits < entry.size() && entry[digits] >= '0' && entry[digits] <= '9'; ++digits) {
        value = value * 10 + (entry[digits] - '0');
        if (value > INT_MAX) {
            return false;
        }
    }
    if (digits == 0 || entry[0] == '0' || entry.compare(digits, 2, "__") != 0) {
        return false;
    }
    *number = static_cast<int>(value);
    *fileName = entry.substr(digits + 2);
    return true;
}

bool FolderPieces::Read(const std::string& folder, std::string* reason) {
    m_pieces.clear();
    std::string path = folder;
    AppendSeparator(&path);
    platform::FolderListing listing;
    if (!listing.Start(path)) {
        *reason = platform::LastSystemError();
        return false;
    }
    platform::FolderListing::Entry entry;
    int number = 0;
    std::string fileName;
    while (listing.Next(&entry)) {
        if (!entry.isFolder && ParsePieceName(entry.name, &number, &fileName)) {
            m_pieces.push_back(entry.name);
        }
    }
    if (listing.Failed()) {
        *reason = platform::LastSystemError();
        return false;
    }
    return true;
}

std::vector<std::string> FolderPieces::Names() const {
    std::vector<std::string> names;
    int number = 0;
    std::string fileName;
    for (const std::string& piece : m_pieces) {
        ParsePieceName(piece, &number, &fileName);
        const bool known = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
            return platform::SameFileName(name, fileName);
        });
        if (!known) {
            names.push_back(fileName);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<int> FolderPieces::Numbers(const std::string& fileName) const {
    return PieceNumbers(m_pieces, fileName);
}

}  // namespace cli
