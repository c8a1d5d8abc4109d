// SHA256SUMS checked at the moments before the join makes, deletes or names anything.
#include "sums/join_checker.h"

#include "engine/job_paths.h"
#include "platform/file_system.h"
#include "sums/sha256_sink.h"
#include "sums/sums_file.h"

namespace sums {

void JoinChecker::ReadList(const std::string& piecesFolder) {
    std::string folder = piecesFolder;
    AppendSeparator(&folder);
    m_listPath = folder + kSumsName;
    switch (m_list.Read(m_listPath, &m_listReason)) {
        case ChecksumList::ReadResult::kRead:
            m_listState = ListState::kRead;
            break;
        case ChecksumList::ReadResult::kMissing:
            m_listState = ListState::kNone;
            break;
        case ChecksumList::ReadResult::kFailed:
            m_listState = ListState::kUnreadable;
            break;
    }
}

bool JoinChecker::Start(std::string* reason) {
    return m_listState != ListState::kRead || m_pool.Start(reason);
}

bool JoinChecker::Fail(Finding finding) {
    m_failed = true;
    m_failure = std::move(finding);
    return false;
}

bool JoinChecker::Fail(Finding::Kind kind, const std::string& name, int piece) {
    Finding finding;
    finding.kind = kind;
    finding.name = name;
    finding.piece = piece;
    return Fail(finding);
}

bool JoinChecker::Begin(const std::string& outputName,
                        const std::vector<std::uint64_t>& pieceLengths) {
    m_outputName = outputName;
    m_pieceCount = pieceLengths.size();
    for (std::uint64_t length : pieceLengths) {
        m_totalBytes += length;
    }
    if (m_listState == ListState::kUnreadable) {
        Finding finding;
        finding.kind = Finding::Kind::kListUnreadable;
        finding.name = kSumsName;
        finding.reason = m_listReason;
        return Fail(finding);
    }
    if (m_listState == ListState::kNone) {
        return true;
    }
    // A line no one can read may be the one for this file.
    if (!m_list.MalformedLines().empty()) {
        Finding finding;
        finding.kind = Finding::Kind::kMalformed;
        finding.name = kSumsName;
        finding.line = m_list.MalformedLines().front();
        return Fail(finding);
    }
    m_listed = m_list.Find(outputName);
    if (!m_listed.conflicts.empty()) {
        return Fail(Finding::Kind::kConflict, m_listed.conflicts.front(), 0);
    }
    m_verifying = m_listed.Lists();
    const auto sha256 = [] { return std::make_unique<Sha256Sink>(); };
    if (m_listed.pieces.empty()) {
        if (!m_listed.file.empty()) {
            m_fileDigest = m_pool.AddConsumer(DigestPool::Span::kWhole, sha256);
        }
        return true;
    }
    m_pieceDigests = m_pool.AddConsumer(DigestPool::Span::kPiece, sha256);
    // The engine sees only gaps; a last piece gone, or one more than the split made, shows
    // here, before anything is made.
    std::vector<int> present;
    for (int number = 1; number <= static_cast<int>(pieceLengths.size()); ++number) {
        present.push_back(number);
    }
    const std::vector<Finding> wrong = CompareNumbers(outputName, m_listed.pieces, present);
    return wrong.empty() || Fail(wrong.front());
}

char* JoinChecker::ReadBuffer(std::size_t* size) {
    return m_verifying ? m_pool.Lend(size) : nullptr;
}

void JoinChecker::PieceBytes(const char* data, std::size_t size) {
    if (m_verifying) {
        m_pool.Add(data, size);
    }
}

// The piece's digest is only ended here: the engine asks for the verdict a few pieces later,
// and the pool's threads hash this piece meanwhile.
void JoinChecker::PieceDone(int number) {
    m_piecesJoined.store(static_cast<std::uint64_t>(number));
    if (m_verifying) {
        m_ended[number] = m_pool.EndPiece();
    }
}

bool JoinChecker::PieceVerdict(int number) {
    const auto ended = m_ended.find(number);
    if (ended == m_ended.end()) {
        return true;
    }
    const int digestNumber = ended->second;
    m_ended.erase(ended);
    const auto listed = m_listed.pieces.find(number);
    if (m_pieceDigests < 0 || listed == m_listed.pieces.end()) {
        return true;
    }
    std::string digest;
    if (!m_pool.Result(m_pieceDigests, digestNumber, &digest)) {
        Finding finding;
        finding.kind = Finding::Kind::kUnreadable;
        finding.name = PieceName(number, m_outputName);
        finding.piece = number;
        finding.reason = "could not be hashed: " + m_pool.Failure();
        return Fail(finding);
    }
    if (digest != listed->second) {
        return Fail(Finding::Kind::kFailed, PieceName(number, m_outputName), number);
    }
    ++m_checked;
    return true;
}

bool JoinChecker::WholeFile(const std::string& fileName) {
    if (!m_verifying || m_listed.file.empty()) {
        return true;
    }
    if (m_fileDigest < 0) {
        // Every piece joined was listed and checked: the file is their bytes in order. Should
        // a piece have gone unchecked, the file's line cannot stand in for it.
        return m_checked == m_pieceCount || Fail(Finding::Kind::kFailed, fileName, 0);
    }
    std::string digest;
    if (!m_pool.Result(m_fileDigest, m_pool.EndWhole(), &digest)) {
        Finding finding;
        finding.kind = Finding::Kind::kUnreadable;
        finding.name = fileName;
        finding.reason = "could not be hashed: " + m_pool.Failure();
        return Fail(finding);
    }
    if (digest != m_listed.file) {
        return Fail(Finding::Kind::kFailed, fileName, 0);
    }
    return true;
}

}  // namespace sums
