// The scan through the recovery library, and what its sets say about the folder's pieces.
#include "folder/recovery_scan.h"

#include <algorithm>

#include "engine/job_paths.h"

namespace folder {

recovery::PieceNameFilter PiecesOf(const std::string& fileName) {
    return [fileName](const std::string& name) {
        int number = 0;
        return ParsePieceNumber(name, fileName, &number);
    };
}

recovery::PieceNameFilter AnyPieces() {
    return [](const std::string& name) {
        int number = 0;
        std::string fileName;
        return ParsePieceName(name, &number, &fileName);
    };
}

recovery::Status RecoveryScan::Run(const std::string& folder,
                                   const recovery::PieceNameFilter& isPiece,
                                   bool checkPieces,
                                   const recovery::KeepGoing& keepGoing) {
    m_isPiece = isPiece;
    return checkPieces ? recovery::ScanFolder(folder, isPiece, keepGoing, &m_scan)
                       : recovery::ReadSets(folder, isPiece, keepGoing, &m_scan);
}

bool RecoveryScan::Describes(const recovery::SetReport& set) const {
    return !FileOf(set).empty();
}

std::string RecoveryScan::FileOf(const recovery::SetReport& set) const {
    for (const recovery::SetFile& file : set.set.files) {
        int number = 0;
        std::string fileName;
        // A name refused as no plain name is left empty; one refused as no piece is kept.
        if (!file.name.empty() && m_isPiece(file.name) &&
            ParsePieceName(file.name, &number, &fileName)) {
            return fileName;
        }
    }
    return std::string();
}

bool RecoveryScan::Found() const {
    return std::any_of(m_scan.sets.begin(), m_scan.sets.end(),
                       [&](const recovery::SetReport& set) { return Describes(set); });
}

std::vector<RefusedName> RecoveryScan::Refused() const {
    std::vector<RefusedName> refused;
    for (const recovery::SetReport& set : m_scan.sets) {
        if (!Describes(set) || set.set.parFiles.empty()) {
            continue;
        }
        for (const recovery::RefusedName& name : set.set.refused) {
            refused.push_back({set.set.parFiles.front(), name.name, name.reason});
        }
    }
    return refused;
}

std::vector<std::string> RecoveryScan::Files() const {
    std::vector<std::string> files;
    std::vector<std::string> others;
    for (const recovery::SetReport& set : m_scan.sets) {
        std::vector<std::string>& into = set.Usable() && Describes(set) ? files : others;
        into.insert(into.end(), set.set.parFiles.begin(), set.set.parFiles.end());
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&](const std::string& file) {
                                   return std::find(others.begin(), others.end(), file) !=
                                          others.end();
                               }),
                files.end());
    return files;
}

}  // namespace folder
