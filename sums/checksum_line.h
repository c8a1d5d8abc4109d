// One line of a SHA256SUMS file, read as GNU sha256sum 9.1 reads it with -c and written as it
// writes it. Names in the file are UTF-8; the program holds them in its narrow code page.
#pragma once

#include <string>

namespace sums {

// A digest and the name it is for, as one line of the file says.
struct Checksum {
    std::string digest;  // 64 lower-case hex digits
    std::string name;    // in the narrow code page
};

// The lines "DIGEST  NAME" and "DIGEST *NAME" are sha256sum's own; "DIGEST NAME" is the
// reversed form other tools write. As sha256sum decides, the first line of either kind
// decides for the whole file, and a line of the other kind is then read its way or not at
// all. The tagged form "SHA256 (NAME) = DIGEST" is read in any file.
enum class LineStyle { kUndecided, kStandard, kReversed };

enum class LineKind {
    kChecksum,     // a checksum line; `checksum` holds it
    kIgnored,      // empty, or a comment ('#' first)
    kMalformed,    // no checksum line sha256sum could read
    kForeignName,  // a checksum line for a name the narrow code page cannot hold, which can
                   // therefore name no file of this program
};

// Reads one line, without its line end (a carriage return before it is dropped).
LineKind ParseChecksumLine(const std::string& line, LineStyle* style, Checksum* checksum);

// The line sha256sum writes for `checksum`: the digest, two blanks, the name in UTF-8; a
// name holding a backslash, a newline or a carriage return has those escaped and a
// backslash in front of the line. False, with the system's error set, when the name has
// no UTF-8 form.
bool FormatChecksumLine(const Checksum& checksum, std::string* line);

// `name` (or a path) as sha256sum prints it in its reports: with a backslash, a newline or a
// carriage return escaped, and then a backslash in front, so that every report is one line.
// Where the backslash separates folders (Windows) it stays as it is.
std::string PrintableName(const std::string& name);

}  // namespace sums
