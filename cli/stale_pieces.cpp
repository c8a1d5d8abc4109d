#include "cli/stale_pieces.h"

#include "cli/report.h"
#include "engine/job_paths.h"
#include "folder/stale_pieces.h"
#include "sums/checksum_line.h"

namespace cli {

namespace {

// "DIR/154__f.bin to DIR/307__f.bin", or the one piece, escaped; with their count when some
// numbers between are not there.
std::string PiecesText(const std::string& folder,
                       const std::string& fileName,
                       const folder::PieceSpan& span) {
    std::string text = sums::PrintableName(InFolder(folder, PieceName(span.first, fileName)));
    if (span.last != span.first) {
        text += " to " + sums::PrintableName(InFolder(folder, PieceName(span.last, fileName)));
    }
    if (span.count != static_cast<std::size_t>(span.last - span.first) + 1) {
        text += " (" + std::to_string(span.count) + " pieces)";
    }
    return text;
}

}  // namespace

bool ReportLeftOverPieces(const std::string& folder, const std::string& fileName, int pieces) {
    folder::PieceSpan left;
    if (!folder::LeftOverPieces(folder, fileName, pieces, &left)) {
        return false;
    }
    const bool one = left.count == 1;
    ReportLine(PiecesText(folder, fileName, left) + ": left from an earlier split; this one made " +
               std::to_string(pieces) + (pieces == 1 ? " piece" : " pieces") + "; delete " +
               (one ? "it" : "them") + " before joining");
    return true;
}

bool ReportPiecesAfterSet(const std::string& folder, const std::string& fileName) {
    int whole = 0;
    folder::PieceSpan after;
    if (!folder::PiecesAfterSet(folder, fileName, &whole, &after)) {
        return false;
    }
    const bool one = after.first == after.last;
    const std::string set = whole == 1
                                ? "piece 1, whose length makes"
                                : "pieces 1 to " + std::to_string(whole) + ", whose lengths make";
    ReportLine(PiecesText(folder, fileName, after) + (one ? ": does" : ": do") + " not fit after " +
               set + " a whole set; if " + (one ? "it is" : "they are") +
               " left from an earlier split, delete " + (one ? "it" : "them"));
    return true;
}

}  // namespace cli
