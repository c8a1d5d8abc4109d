#include "folder/stale_pieces.h"

#include <cstdint>
#include <vector>

#include "engine/job_paths.h"
#include "folder/folder_pieces.h"
#include "platform/file.h"

namespace folder {

namespace {

// How many pieces from piece 1 make a whole set by the lengths of pieces 1 to N: all as
// long as piece 1 but the last, which is no longer; an empty piece 1 is a set alone.
std::size_t WholeSetLength(const std::vector<std::uint64_t>& lengths) {
    const std::uint64_t first = lengths.front();
    if (first == 0) {
        return 1;
    }
    std::size_t equal = 1;
    while (equal < lengths.size() && lengths[equal] == first) {
        ++equal;
    }
    return equal < lengths.size() && lengths[equal] < first ? equal + 1 : equal;
}

}  // namespace

bool LeftOverPieces(const std::string& folder,
                    const std::string& fileName,
                    int pieces,
                    PieceSpan* left) {
    FolderPieces found;
    std::string reason;
    if (!found.Read(folder, &reason)) {
        return false;
    }
    *left = PieceSpan();
    for (int number : found.Numbers(fileName)) {
        if (number > pieces) {
            left->first = left->count == 0 ? number : left->first;
            left->last = number;
            ++left->count;
        }
    }
    return left->count > 0;
}

bool PiecesAfterSet(const std::string& folder,
                    const std::string& fileName,
                    int* whole,
                    PieceSpan* after) {
    FolderPieces found;
    std::string reason;
    if (!found.Read(folder, &reason)) {
        return false;
    }
    const std::vector<int> numbers = found.Numbers(fileName);
    // Only for pieces 1 to N without a gap, as the join found them.
    if (numbers.size() < 2 || numbers.back() != static_cast<int>(numbers.size())) {
        return false;
    }
    std::vector<std::uint64_t> lengths;
    for (int number : numbers) {
        platform::FileStamp stamp;
        if (!platform::StampOf(InFolder(folder, PieceName(number, fileName)), &stamp)) {
            return false;
        }
        lengths.push_back(stamp.length);
    }
    const std::size_t set = WholeSetLength(lengths);
    if (set >= lengths.size()) {
        return false;
    }
    *whole = static_cast<int>(set);
    after->first = static_cast<int>(set) + 1;
    after->last = numbers.back();
    after->count = lengths.size() - set;
    return true;
}

}  // namespace folder
