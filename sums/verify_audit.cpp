#include "sums/verify_audit.h"

#include <set>

#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/system_error.h"
#include "sums/sha256_sink.h"
#include "sums/sums_file.h"

namespace sums {

namespace {

// Pieces read ahead of their verdicts, so that the pool hashes several side by side.
constexpr std::size_t kPiecesAhead = 8;

std::string WithSeparator(std::string folder) {
    AppendSeparator(&folder);
    return folder;
}

}  // namespace

VerifyAudit::VerifyAudit(const std::string& folder,
                         const ChecksumList& list,
                         const std::vector<std::string>& names)
    : m_folder(WithSeparator(folder)), m_malformed(list.MalformedLines()) {
    // The files with piece lines, in the order of their first line, and only the numbers
    // that are listed or present: a stray line for piece 3000000 is one finding, not
    // three million.
    std::set<std::string> planned;
    for (const Checksum& line : list.Checksums()) {
        std::string fileName;
        int number = 0;
        if (!NameAfterMarker(line.name, &fileName) ||
            !ParsePieceNumber(line.name, fileName, &number) || !planned.insert(fileName).second) {
            continue;
        }
        ListedFile file;
        file.name = fileName;
        const SplitChecksums found = list.Find(fileName);
        file.digest = found.file;
        for (const auto& piece : found.pieces) {
            file.pieces[piece.first].digest = piece.second;
        }
        for (const std::string& name : found.conflicts) {
            Finding finding;
            finding.kind = Finding::Kind::kConflict;
            finding.name = name;
            file.early.push_back(finding);
        }
        for (const std::string& name : names) {
            if (ParsePieceNumber(name, fileName, &number)) {
                file.pieces[number].present = true;
            }
        }
        for (const auto& piece : file.pieces) {
            if (piece.second.present && !piece.second.digest.empty()) {
                std::uint64_t length = 0;
                platform::File probe;
                if (probe.Open(m_folder + PieceName(piece.first, fileName),
                               platform::File::Access::kReadShareDenyWrite) &&
                    probe.Length(&length)) {
                    m_totalBytes += length;
                }
            }
            ++m_totalPieces;
        }
        m_files.push_back(file);
    }
}

void VerifyAudit::Report(Finding finding) {
    ++m_failures;
    m_found(finding);
}

bool VerifyAudit::Run(const std::function<void(const Finding&)>& found,
                      const std::function<bool(std::uint64_t, std::uint64_t)>& progress,
                      std::string* reason) {
    m_found = found;
    m_progress = progress;
    for (int line : m_malformed) {
        Finding finding;
        finding.kind = Finding::Kind::kMalformed;
        finding.name = kSumsName;
        finding.line = line;
        Report(finding);
    }
    const auto sha256 = [] { return std::make_unique<Sha256Sink>(); };
    m_pieceDigests = m_pool.AddConsumer(DigestPool::Span::kPiece, sha256);
    m_fileDigest = m_pool.AddConsumer(DigestPool::Span::kWhole, sha256);
    if (!m_pool.Start(reason)) {
        return false;
    }
    for (const ListedFile& file : m_files) {
        if (!Check(file)) {
            return false;
        }
    }
    return true;
}

bool VerifyAudit::Check(const ListedFile& file) {
    bool whole = file.early.empty();  // every piece so far was hashed and good
    for (const Finding& finding : file.early) {
        Report(finding);
    }
    std::map<int, std::string> listed;
    std::vector<int> present;
    for (const auto& piece : file.pieces) {
        if (!piece.second.digest.empty()) {
            listed[piece.first] = piece.second.digest;
        }
        if (piece.second.present) {
            present.push_back(piece.first);
        }
    }
    const std::vector<Finding> absent = CompareNumbers(file.name, listed, present);
    std::set<int> skip;
    for (const Finding& finding : absent) {
        skip.insert(finding.piece);
    }
    auto next = absent.begin();
    std::vector<Pending> pending;
    for (const auto& piece : file.pieces) {
        const int number = piece.first;
        Pending entry;
        if (skip.count(number) != 0) {
            entry.finding = *next++;
        } else {
            entry.finding.name = PieceName(number, file.name);
            entry.finding.piece = number;
            const Hashed hashed = Hash(m_folder + entry.finding.name, &entry.finding.reason);
            if (hashed == Hashed::kStopped) {
                return false;
            }
            ++m_checked;
            if (hashed == Hashed::kUnreadable) {
                entry.finding.kind = Finding::Kind::kUnreadable;
            } else {
                entry.digest = m_pool.EndPiece();
                entry.listed = piece.second.digest;
            }
        }
        pending.push_back(entry);
        whole = Settle(&pending, kPiecesAhead) && whole;
    }
    whole = Settle(&pending, 0) && whole;
    const int ended = m_pool.EndWhole();
    std::string digest;
    if (whole && !file.digest.empty()) {
        Finding finding;
        finding.name = file.name;
        if (!m_pool.Result(m_fileDigest, ended, &digest)) {
            finding.kind = Finding::Kind::kUnreadable;
            finding.reason = "could not be hashed: " + m_pool.Failure();
            Report(finding);
        } else if (digest != file.digest) {
            finding.kind = Finding::Kind::kFailed;
            Report(finding);
        }
    }
    return true;
}

bool VerifyAudit::Settle(std::vector<Pending>* pending, std::size_t keep) {
    bool good = true;
    std::size_t settled = 0;
    for (; pending->size() - settled > keep; ++settled) {
        Pending& entry = (*pending)[settled];
        if (entry.digest != 0) {
            std::string digest;
            if (!m_pool.Result(m_pieceDigests, entry.digest, &digest)) {
                entry.finding.kind = Finding::Kind::kUnreadable;
                entry.finding.reason = "could not be hashed: " + m_pool.Failure();
            } else if (digest == entry.listed) {
                continue;
            } else {
                entry.finding.kind = Finding::Kind::kFailed;
            }
        }
        Report(entry.finding);
        good = false;
    }
    pending->erase(pending->begin(), pending->begin() + static_cast<std::ptrdiff_t>(settled));
    return good;
}

// Feeds the piece's bytes to the pool, read straight into its buffers. A piece that fails
// part way has fed some: its digest is ended and dropped, and the whole's is not used.
VerifyAudit::Hashed VerifyAudit::Hash(const std::string& path, std::string* reason) {
    platform::File file;
    if (!file.Open(path, platform::File::Access::kReadShareDenyWrite)) {
        *reason = platform::LastSystemError();
        return Hashed::kUnreadable;
    }
    for (;;) {
        if (!m_progress(m_bytes, static_cast<std::uint64_t>(m_checked))) {
            return Hashed::kStopped;
        }
        std::size_t size = 0;
        char* buffer = m_pool.Lend(&size);
        const std::int64_t got = buffer != nullptr ? file.Read(buffer, size) : -1;
        if (got < 0) {
            *reason = buffer != nullptr ? platform::LastSystemError()
                                        : "could not be hashed: " + m_pool.Failure();
            m_pool.EndPiece();
            return Hashed::kUnreadable;
        }
        if (got == 0) {
            break;
        }
        m_pool.Add(buffer, static_cast<std::size_t>(got));
        m_bytes += static_cast<std::uint64_t>(got);
    }
    // Only read: closing it loses nothing.
    file.Close();
    return Hashed::kRead;
}

}  // namespace sums
