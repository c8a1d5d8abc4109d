// The lines of a SHA256SUMS file, as GNU sha256sum 9.1 reads them.
#include "sums/checksum_list.h"

#include <cerrno>
#include <cstdint>

#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/file_names.h"
#include "platform/system_error.h"

namespace sums {

namespace {

// Far more than the lines of the most pieces a split makes; a larger file is no list of ours
// and is not read into memory.
constexpr std::uint64_t kMaxListBytes = std::uint64_t{256} << 20;

}  // namespace

ChecksumList::ReadResult ChecksumList::Read(const std::string& path, std::string* reason) {
    m_lines.clear();
    m_malformed.clear();
    platform::File file;
    // Others may rename a new list over this one meanwhile: the one opened is read whole.
    if (!file.Open(path, platform::File::Access::kReadReplaceable)) {
        const bool missing = platform::LastErrorIsNotFound();
        *reason = platform::LastSystemError();
        return missing ? ReadResult::kMissing : ReadResult::kFailed;
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const std::int64_t got = file.Read(buffer, sizeof buffer);
        if (got < 0) {
            *reason = platform::LastSystemError();
            return ReadResult::kFailed;
        }
        if (got == 0) {
            break;
        }
        if (text.size() + static_cast<std::uint64_t>(got) > kMaxListBytes) {
            *reason = "too large for a list of checksums";
            return ReadResult::kFailed;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    // Only read: closing it loses nothing.
    file.Close();
    LineStyle style = LineStyle::kUndecided;
    int number = 0;
    for (std::size_t begin = 0; begin < text.size();) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        Line line;
        line.text = text.substr(begin, end - begin);
        line.kind = ParseChecksumLine(line.text, &style, &line.checksum);
        ++number;
        if (line.kind == LineKind::kMalformed) {
            m_malformed.push_back(number);
        }
        m_lines.push_back(std::move(line));
        begin = end + 1;
    }
    return ReadResult::kRead;
}

bool ChecksumList::OfSplit(const Line& line, const std::string& fileName) {
    int number = 0;
    return line.kind == LineKind::kChecksum &&
           (platform::SameFileName(line.checksum.name, fileName) ||
            ParsePieceNumber(line.checksum.name, fileName, &number));
}

bool ChecksumList::ReplaceSplit(const std::string& fileName,
                                const std::vector<std::string>& pieceDigests,
                                const std::string& fileDigest) {
    std::vector<Line> fresh(pieceDigests.size() + 1);
    for (std::size_t k = 0; k < fresh.size(); ++k) {
        Line& line = fresh[k];
        line.kind = LineKind::kChecksum;
        line.checksum.digest = k < pieceDigests.size() ? pieceDigests[k] : fileDigest;
        line.checksum.name =
            k < pieceDigests.size() ? PieceName(static_cast<int>(k + 1), fileName) : fileName;
        if (!FormatChecksumLine(line.checksum, &line.text)) {
            return false;
        }
    }
    RemoveSplit(fileName);
    for (Line& line : fresh) {
        m_lines.push_back(std::move(line));
    }
    return true;
}

bool ChecksumList::RemoveSplit(const std::string& fileName) {
    std::vector<Line> kept;
    for (Line& line : m_lines) {
        if (!OfSplit(line, fileName)) {
            kept.push_back(std::move(line));
        }
    }
    const bool removed = kept.size() != m_lines.size();
    m_lines = std::move(kept);
    return removed;
}

SplitChecksums ChecksumList::Find(const std::string& fileName) const {
    SplitChecksums found;
    // Lines for one name that disagree leave no digest to trust for it; sha256sum -c would
    // fail one of them.
    const auto take = [&found](std::string* slot, const Checksum& checksum) {
        if (!slot->empty() && *slot != checksum.digest) {
            found.conflicts.push_back(checksum.name);
        }
        *slot = checksum.digest;
    };
    for (const Line& line : m_lines) {
        int number = 0;
        if (line.kind != LineKind::kChecksum) {
            continue;
        }
        if (platform::SameFileName(line.checksum.name, fileName)) {
            take(&found.file, line.checksum);
        } else if (ParsePieceNumber(line.checksum.name, fileName, &number)) {
            take(&found.pieces[number], line.checksum);
        }
    }
    return found;
}

std::vector<Checksum> ChecksumList::Checksums() const {
    std::vector<Checksum> checksums;
    for (const Line& line : m_lines) {
        if (line.kind == LineKind::kChecksum) {
            checksums.push_back(line.checksum);
        }
    }
    return checksums;
}

std::string ChecksumList::Text() const {
    std::string text;
    for (const Line& line : m_lines) {
        text += line.text;
        text += '\n';
    }
    return text;
}

}  // namespace sums
