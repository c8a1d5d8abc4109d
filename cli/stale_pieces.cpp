#include "cli/stale_pieces.h"

#include <cstdint>
#include <vector>

#include "cli/commands.h"
#include "cli/folder_pieces.h"
#include "cli/report.h"
#include "engine/job_paths.h"
#include "platform/file.h"
#include "sums/checksum_line.h"

namespace cli {

namespace {

// "DIR/154__f.bin to DIR/307__f.bin", or the one piece, escaped; with their count when some
// numbers between are not there.
std::string PiecesText(const std::string& folder,
                       const std::string& fileName,
                       int first,
                       int last,
                       std::size_t count) {
    std::string text = sums::PrintableName(InFolder(folder, PieceName(first, fileName)));
    if (last != first) {
        text += " to " + sums::PrintableName(InFolder(folder, PieceName(last, fileName)));
    }
    const std::size_t span = static_cast<std::size_t>(last - first) + 1;
    if (count != span) {
        text += " (" + std::to_string(count) + " pieces)";
    }
    return text;
}

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

bool ReportLeftOverPieces(const std::string& folder, const std::string& fileName, int pieces) {
    FolderPieces found;
    std::string reason;
    if (!found.Read(folder, &reason)) {
        return false;
    }
    std::vector<int> above;
    for (int number : found.Numbers(fileName)) {
        if (number > pieces) {
            above.push_back(number);
        }
    }
    if (above.empty()) {
        return false;
    }
    const bool one = above.size() == 1;
    ReportLine(PiecesText(folder, fileName, above.front(), above.back(), above.size()) +
               ": left from an earlier split; this one made " + std::to_string(pieces) +
               (pieces == 1 ? " piece" : " pieces") + "; delete " + (one ? "it" : "them") +
               " before joining");
    return true;
}

bool ReportPiecesAfterSet(const std::string& folder, const std::string& fileName) {
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
    const std::size_t whole = WholeSetLength(lengths);
    if (whole >= lengths.size()) {
        return false;
    }
    const int first = static_cast<int>(whole) + 1;
    const int last = numbers.back();
    const bool one = first == last;
    const std::string set = whole == 1
                                ? "piece 1, whose length makes"
                                : "pieces 1 to " + std::to_string(whole) + ", whose lengths make";
    ReportLine(PiecesText(folder, fileName, first, last, lengths.size() - whole) +
               (one ? ": does" : ": do") + " not fit after " + set + " a whole set; if " +
               (one ? "it is" : "they are") + " left from an earlier split, delete " +
               (one ? "it" : "them"));
    return true;
}

}  // namespace cli
