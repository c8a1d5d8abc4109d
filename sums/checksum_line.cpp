// The line forms sha256sum reads, one small function each, and the escapes of names.
#include "sums/checksum_line.h"

#include <cstddef>

#include "platform/file_system.h"
#include "platform/text_encoding.h"

namespace sums {

namespace {

constexpr std::size_t kDigestLength = 64;
const char kTag[] = "SHA256";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The 64 hex digits at `text`, in lower case; false unless all 64 are there.
bool ReadDigest(const std::string& text, std::size_t at, std::string* digest) {
    if (text.size() < at + kDigestLength) {
        return false;
    }
    digest->assign(kDigestLength, '\0');
    for (std::size_t i = 0; i < kDigestLength; ++i) {
        const int value = HexValue(text[at + i]);
        if (value < 0) {
            return false;
        }
        (*digest)[i] = "0123456789abcdef"[value];
    }
    return true;
}

// Undoes the escapes of an escaped line's name; sha256sum -c refuses any escape but these
// three.
bool Unescape(std::string* name) {
    const std::string text = *name;
    name->clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            name->push_back(text[i]);
            continue;
        }
        if (++i == text.size()) {
            return false;
        }
        switch (text[i]) {
            case '\\':
                name->push_back('\\');
                break;
            case 'n':
                name->push_back('\n');
                break;
            case 'r':
                name->push_back('\r');
                break;
            default:
                return false;
        }
    }
    return true;
}

// "SHA256 (NAME) = DIGEST", from just after "SHA256": the name ends at the last ')'.
bool SplitTagged(const std::string& line, std::size_t at, std::string* name, std::string* digest) {
    if (at < line.size() && line[at] == ' ') {
        ++at;
    }
    if (at >= line.size() || line[at] != '(') {
        return false;
    }
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos || close <= at) {
        return false;
    }
    *name = line.substr(at + 1, close - at - 1);
    std::size_t i = close + 1;
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    if (i >= line.size() || line[i] != '=') {
        return false;
    }
    ++i;
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    return line.size() - i == kDigestLength && ReadDigest(line, i, digest);
}

// "DIGEST  NAME", "DIGEST *NAME" or, in a reversed file, "DIGEST NAME".
bool SplitPlain(const std::string& line,
                std::size_t at,
                LineStyle* style,
                std::string* name,
                std::string* digest) {
    if (!ReadDigest(line, at, digest)) {
        return false;
    }
    std::size_t i = at + kDigestLength;
    if (i >= line.size() || !IsBlank(line[i])) {
        return false;
    }
    ++i;
    const bool reversed =
        line.size() - i == 1 || (i < line.size() && line[i] != ' ' && line[i] != '*');
    if (reversed) {
        if (*style == LineStyle::kStandard) {
            return false;
        }
        *style = LineStyle::kReversed;
    } else if (*style != LineStyle::kReversed) {
        *style = LineStyle::kStandard;
        ++i;  // the mode: ' ' text, '*' binary; both read the same bytes
    }
    if (i >= line.size()) {
        return false;
    }
    *name = line.substr(i);
    return true;
}

// `name` with a newline, a carriage return and (if asked) a backslash escaped.
std::string Escaped(const std::string& name, bool backslash) {
    std::string escaped;
    for (char c : name) {
        if (c == '\\' && backslash) {
            escaped += "\\\\";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else {
            escaped.push_back(c);
        }
    }
    return escaped;
}

}  // namespace

LineKind ParseChecksumLine(const std::string& text, LineStyle* style, Checksum* checksum) {
    std::string line = text;
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.empty() || line[0] == '#') {
        return LineKind::kIgnored;
    }
    std::size_t at = 0;
    while (at < line.size() && IsBlank(line[at])) {
        ++at;
    }
    const bool escaped = at < line.size() && line[at] == '\\';
    if (escaped) {
        ++at;
    }
    std::string name;
    std::string digest;
    const bool tagged = line.compare(at, sizeof kTag - 1, kTag) == 0;
    if (!(tagged ? SplitTagged(line, at + sizeof kTag - 1, &name, &digest)
                 : SplitPlain(line, at, style, &name, &digest)) ||
        (escaped && !Unescape(&name)) || name.find('\0') != std::string::npos) {
        return LineKind::kMalformed;
    }
    if (!platform::Utf8ToNarrow(name, &checksum->name)) {
        return LineKind::kForeignName;
    }
    checksum->digest = digest;
    return LineKind::kChecksum;
}

bool FormatChecksumLine(const Checksum& checksum, std::string* line) {
    std::string name;
    if (!platform::NarrowToUtf8(checksum.name, &name)) {
        return false;
    }
    const std::string escaped = Escaped(name, true);
    *line = (escaped.size() != name.size() ? "\\" : "") + checksum.digest + "  " + escaped;
    return true;
}

std::string PrintableName(const std::string& name) {
    // Where the backslash separates folders it is no part of any name.
    const std::string escaped = Escaped(name, platform::kPathSeparator != '\\');
    return escaped.size() != name.size() ? "\\" + escaped : name;
}

}  // namespace sums
