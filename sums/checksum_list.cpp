// Lines of a SHA256SUMS file, read and written as GNU sha256sum 9.1 reads and writes them.
#include "cli/checksum_list.h"

#include <cstdint>

#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/file_names.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "platform/text_encoding.h"

namespace cli {

namespace {

constexpr std::size_t kDigestLength = 64;

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

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
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

bool Failed(std::string* reason) {
    *reason = platform::LastSystemError();
    return false;
}

}  // namespace

bool FormatChecksumLine(const Checksum& checksum, std::string* line) {
    std::string name;
    if (!platform::NarrowToUtf8(checksum.name, &name)) {
        return false;
    }
    std::string escaped;
    for (char c : name) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\r':
                escaped += "\\r";
                break;
            default:
                escaped.push_back(c);
        }
    }
    const bool escape = escaped.size() != name.size();
    *line = (escape ? "\\" : "") + checksum.digest + "  " + escaped;
    return true;
}

bool ParseChecksumLine(const std::string& line, Checksum* checksum) {
    // sha256sum -c drops a carriage return before the line end, so files with Windows line
    // ends check too.
    std::size_t end = line.size();
    if (end > 0 && line[end - 1] == '\r') {
        --end;
    }
    std::size_t at = 0;
    while (at < end && IsBlank(line[at])) {
        ++at;
    }
    const bool escaped = at < end && line[at] == '\\';
    if (escaped) {
        ++at;
    }
    // The digest, one blank, the mode (a blank for text, '*' for binary), at least one
    // character of name.
    if (end - at < kDigestLength + 3) {
        return false;
    }
    std::string digest(kDigestLength, '\0');
    for (std::size_t i = 0; i < kDigestLength; ++i) {
        const int value = HexValue(line[at + i]);
        if (value < 0) {
            return false;
        }
        digest[i] = "0123456789abcdef"[value];
    }
    at += kDigestLength;
    if (!IsBlank(line[at]) || (line[at + 1] != ' ' && line[at + 1] != '*')) {
        return false;
    }
    std::string name = line.substr(at + 2, end - at - 2);
    if (escaped && !Unescape(&name)) {
        return false;
    }
    if (name.find('\0') != std::string::npos || !platform::Utf8ToNarrow(name, &checksum->name)) {
        return false;
    }
    checksum->digest = digest;
    return true;
}

ChecksumList::ReadResult ChecksumList::Read(const std::string& path, std::string* reason) {
    m_lines.clear();
    platform::File file;
    if (!file.Open(path, platform::File::Access::kReadShareDenyWrite)) {
        const bool missing = platform::LastErrorIsNotFound();
        *reason = platform::LastSystemError();
        return missing ? ReadResult::kMissing : ReadResult::kFailed;
    }
    std::string text;
    char buffer[16384];
    for (;;) {
        const std::int64_t got = file.Read(buffer, sizeof buffer);
        if (got < 0) {
            Failed(reason);
            return ReadResult::kFailed;
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    if (!file.Close()) {
        Failed(reason);
        return ReadResult::kFailed;
    }
    for (std::size_t begin = 0; begin < text.size();) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        Line line;
        line.text = text.substr(begin, end - begin);
        line.isChecksum = ParseChecksumLine(line.text, &line.checksum);
        m_lines.push_back(std::move(line));
        begin = end + 1;
    }
    return ReadResult::kRead;
}

bool ChecksumList::Write(const std::string& path, std::string* reason) const {
    std::string text;
    for (const Line& line : m_lines) {
        text += line.text;
        text += '\n';
    }
    const std::string temporary = path + ".tmp";
    platform::File file;
    if (!file.Open(temporary, platform::File::Access::kCreateWrite)) {
        return Failed(reason);
    }
    // The reason is taken before the clean-up, whose calls would replace it.
    if (!file.Write(text.data(), text.size()) || !file.Flush()) {
        Failed(reason);
        file.Close();
        platform::RemoveFile(temporary);
        return false;
    }
    if (!file.Close() || !platform::RenameFile(temporary, path)) {
        Failed(reason);
        platform::RemoveFile(temporary);
        return false;
    }
    return platform::FlushFolder(FolderOf(path)) || Failed(reason);
}

bool ChecksumList::ReplaceSplit(const std::string& fileName,
                                const std::vector<std::string>& pieceDigests,
                                const std::string& fileDigest) {
    std::vector<Line> fresh(pieceDigests.size() + 1);
    for (std::size_t k = 0; k < fresh.size(); ++k) {
        Line& line = fresh[k];
        line.isChecksum = true;
        line.checksum.digest = k < pieceDigests.size() ? pieceDigests[k] : fileDigest;
        line.checksum.name =
            k < pieceDigests.size() ? PieceName(static_cast<int>(k + 1), fileName) : fileName;
        if (!FormatChecksumLine(line.checksum, &line.text)) {
            return false;
        }
    }
    std::vector<Line> kept;
    for (Line& line : m_lines) {
        int number = 0;
        if (line.isChecksum && (platform::SameFileName(line.checksum.name, fileName) ||
                                ParsePieceNumber(line.checksum.name, fileName, &number))) {
            continue;
        }
        kept.push_back(std::move(line));
    }
    for (Line& line : fresh) {
        kept.push_back(std::move(line));
    }
    m_lines = std::move(kept);
    return true;
}

SplitChecksums ChecksumList::Find(const std::string& fileName) const {
    SplitChecksums found;
    for (const Line& line : m_lines) {
        int number = 0;
        if (!line.isChecksum) {
            continue;
        }
        if (platform::SameFileName(line.checksum.name, fileName)) {
            found.file = line.checksum.digest;
        } else if (ParsePieceNumber(line.checksum.name, fileName, &number)) {
            found.pieces[number] = line.checksum.digest;
        }
    }
    return found;
}

std::vector<Checksum> ChecksumList::Checksums() const {
    std::vector<Checksum> checksums;
    for (const Line& line : m_lines) {
        if (line.isChecksum) {
            checksums.push_back(line.checksum);
        }
    }
    return checksums;
}

}  // namespace cli
