// The SHA256SUMS file a split writes beside its pieces: lines in the format sha256sum writes
// and `sha256sum -c` reads, kept in the file's order, so that splitting a file again changes
// only that file's lines. The file is UTF-8, so that it checks on Windows and elsewhere
// alike; names here are in the program's narrow code page.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace cli {

// A digest and the name it is for, as one line of the file says.
struct Checksum {
    std::string digest;  // 64 lower-case hex digits
    std::string name;
};

// What the file says about one split: a file and its pieces.
struct SplitChecksums {
    std::map<int, std::string> pieces;  // digests by piece number
    std::string file;                   // the file's digest; empty without a line for it
};

// The line sha256sum writes for `checksum`: the digest, two blanks, the name in UTF-8; a
// name holding a backslash, a newline or a carriage return has those escaped and a
// backslash in front of the line. False, with the system's error set, when the name has
// no UTF-8 form.
bool FormatChecksumLine(const Checksum& checksum, std::string* line);

// Reads one line of the file (without its line end) as `sha256sum -c` does, binary-mode
// lines ("<digest> *NAME") included. False for a line that is no checksum here, which is
// also the case when the name has no form in the narrow code page.
bool ParseChecksumLine(const std::string& line, Checksum* checksum);

class ChecksumList {
public:
    enum class ReadResult { kRead, kMissing, kFailed };

    // Replaces the list with the lines of the file at `path`. kMissing leaves the list empty
    // when there is no such file; kFailed gives the system's reason.
    ReadResult Read(const std::string& path, std::string* reason);

    // Writes the list to `path` so that a crash leaves either the old file or the new one
    // whole: into "PATH.tmp", flushed and closed, renamed over `path`, then the folder
    // flushed. False with the system's reason.
    bool Write(const std::string& path, std::string* reason) const;

    // Drops the lines of the file `fileName` and of its pieces (as the join would match
    // them: "1__NAME", "2__NAME", …) and appends fresh lines: the pieces in number order,
    // `pieceDigests[0]` being piece 1's, then the file. Other lines keep their text and
    // order. False, with the system's error set, when the name has no UTF-8 form; the list
    // is then unchanged.
    bool ReplaceSplit(const std::string& fileName,
                      const std::vector<std::string>& pieceDigests,
                      const std::string& fileDigest);

    // The digests listed for `fileName` and its pieces; of several lines for one name the
    // last counts.
    SplitChecksums Find(const std::string& fileName) const;

    // Every checksum line, in the file's order; lines that are none are left out.
    std::vector<Checksum> Checksums() const;

private:
    struct Line {
        std::string text;  // as in the file: UTF-8, without the line end
        bool isChecksum = false;
        Checksum checksum;
    };

    std::vector<Line> m_lines;
};

}  // namespace cli
