#include "folder/folder_pieces.h"

#include <algorithm>

#include "engine/job_paths.h"
#include "engine/piece_listing.h"
#include "engine/piece_set.h"
#include "platform/file_names.h"

namespace folder {

bool FolderPieces::Read(const std::string& folder, std::string* reason) {
    PieceListing listing = ListPieces(InFolder(folder, std::string()));
    m_pieces.swap(listing.fileNames);
    *reason = listing.reason;
    return listing.complete;
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

std::string FolderPieces::LastListedOf(const std::vector<std::string>& names) const {
    int number = 0;
    std::string fileName;
    for (auto piece = m_pieces.rbegin(); piece != m_pieces.rend(); ++piece) {
        ParsePieceName(*piece, &number, &fileName);
        for (const std::string& name : names) {
            if (platform::SameFileName(name, fileName)) {
                return name;
            }
        }
    }
    return std::string();
}

}  // namespace folder
