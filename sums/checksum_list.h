// The SHA256SUMS file a split writes beside its pieces: lines in the format sha256sum writes
// and `sha256sum -c` reads, kept in the file's order, so that splitting a file again changes
// only that file's lines. The file is UTF-8, so that it checks on Windows and elsewhere
// alike; names here are in the program's narrow code page.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sums/checksum_line.h"

namespace sums {

// What the file says about one split: a file and its pieces.
struct SplitChecksums {
    std::map<int, std::string> pieces;   // digests by piece number
    std::string file;                    // the file's digest; empty without a line for it
    std::vector<std::string> conflicts;  // names with lines that disagree on the digest

    bool Lists() const { return !pieces.empty() || !file.empty() || !conflicts.empty(); }
};

class ChecksumList {
public:
    enum class ReadResult { kRead, kMissing, kFailed };

    // Replaces the list with the lines of the file at `path`. kMissing leaves the list empty
    // when there is no such file; kFailed gives the system's reason.
    ReadResult Read(const std::string& path, std::string* reason);

    // The numbers (from 1) of the lines that no sha256sum could read as checksums.
    const std::vector<int>& MalformedLines() const { return m_malformed; }

    // Drops the lines of the file `fileName` and of its pieces (as the join would match
    // them: "1__NAME", "2__NAME", …) and appends fresh lines: the pieces in number order,
    // `pieceDigests[0]` being piece 1's, then the file. Other lines keep their text and
    // order. False, with the system's error set, when the name has no UTF-8 form; the list
    // is then unchanged.
    bool ReplaceSplit(const std::string& fileName,
                      const std::vector<std::string>& pieceDigests,
                      const std::string& fileDigest);
    // Drops the lines of `fileName` and of its pieces; true when there were any.
    bool RemoveSplit(const std::string& fileName);

    // The digests listed for `fileName` and its pieces.
    SplitChecksums Find(const std::string& fileName) const;

    // Every checksum line, in the file's order.
    std::vector<Checksum> Checksums() const;

    // The file's text: every line as read or made, each ended by a line feed.
    std::string Text() const;

private:
    struct Line {
        std::string text;  // as in the file: UTF-8, without the line end
        LineKind kind = LineKind::kMalformed;
        Checksum checksum;
    };

    // True when the line is one of `fileName` or of its pieces.
    static bool OfSplit(const Line& line, const std::string& fileName);

    std::vector<Line> m_lines;
    std::vector<int> m_malformed;
};

}  // namespace sums
