#include "sums/split_sums_writer.h"

#include <vector>

#include "engine/job_paths.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "sums/sha256_sink.h"
#include "sums/sums_file.h"

namespace sums {

bool SplitSumsWriter::Fail(const std::string& path, const std::string& reason) {
    m_failedPath = path;
    m_reason = reason;
    return false;
}

bool SplitSumsWriter::Start(std::string* reason) {
    if (!m_writeSums) {
        return true;
    }
    const auto sha256 = [] { return std::make_unique<Sha256Sink>(); };
    m_pieceDigests = m_pool.AddConsumer(DigestPool::Span::kPiece, sha256);
    m_fileDigest = m_pool.AddConsumer(DigestPool::Span::kWhole, sha256);
    return m_pool.Start(reason);
}

char* SplitSumsWriter::ReadBuffer(std::size_t* size) {
    return m_writeSums ? m_pool.Lend(size) : nullptr;
}

void SplitSumsWriter::PieceBytes(const char* data, std::size_t size) {
    if (m_writeSums) {
        m_pool.Add(data, size);
    }
}

// The split goes on at once: the digests are waited for only at the end.
void SplitSumsWriter::PieceDone(int) {
    if (m_writeSums) {
        m_pool.EndPiece();
    }
}

namespace {

// Why the list may not be written back: a line no one can read would be kept as it is, and
// the join of these pieces would fail on it. Empty when it may.
std::string Unwritable(const ChecksumList& list) {
    if (list.MalformedLines().empty()) {
        return std::string();
    }
    return "line " + std::to_string(list.MalformedLines().front()) +
           " is no checksum line sha256sum could read; the list is left as it is (correct or "
           "remove that line)";
}

}  // namespace

bool SplitSumsWriter::CheckList(const std::string& folder,
                                std::string* failedPath,
                                std::string* reason) {
    ChecksumList list;
    *failedPath = folder;
    AppendSeparator(failedPath);
    *failedPath += kSumsName;
    // A folder not made yet, or a file in its way, is the job's to tell.
    if (!platform::PathExists(*failedPath)) {
        return true;
    }
    switch (list.Read(*failedPath, reason)) {
        case ChecksumList::ReadResult::kMissing:
            return true;
        case ChecksumList::ReadResult::kFailed:
            *reason = "could not be read: " + *reason;
            return false;
        case ChecksumList::ReadResult::kRead:
            break;
    }
    *reason = Unwritable(list);
    return reason->empty();
}

bool SplitSumsWriter::Write(const std::string& folder, const std::string& fileName, int pieces) {
    std::string failedPath;
    std::string reason;
    std::string refusal;
    if (!m_writeSums) {
        // A folder without a list gets none, nor a lock file.
        if (!platform::PathExists(folder + kSumsName)) {
            return true;
        }
        const bool updated = UpdateSumsFile(
            folder,
            [&](ChecksumList* list) {
                if (!list->RemoveSplit(fileName)) {
                    return false;  // nothing to write
                }
                refusal = Unwritable(*list);
                return refusal.empty();
            },
            &failedPath, &reason);
        if (!updated) {
            return Fail(failedPath, reason);
        }
        return refusal.empty() || Fail(folder + kSumsName, refusal);
    }
    const int whole = m_pool.EndWhole();
    std::vector<std::string> digests(static_cast<std::size_t>(pieces));
    std::string fileDigest;
    for (int number = 1; number <= pieces; ++number) {
        if (!m_pool.Result(m_pieceDigests, number,
                           &digests[static_cast<std::size_t>(number - 1)])) {
            return Fail(folder + kSumsName, m_pool.Failure());
        }
    }
    if (!m_pool.Result(m_fileDigest, whole, &fileDigest)) {
        return Fail(folder + kSumsName, m_pool.Failure());
    }
    std::string nameError;
    const bool updated = UpdateSumsFile(
        folder,
        [&](ChecksumList* list) {
            refusal = Unwritable(*list);
            if (!refusal.empty()) {
                return false;
            }
            if (!list->ReplaceSplit(fileName, digests, fileDigest)) {
                nameError = platform::LastSystemError();
                return false;
            }
            return true;
        },
        &failedPath, &reason);
    if (!updated) {
        return Fail(failedPath, reason);
    }
    if (!refusal.empty()) {
        return Fail(folder + kSumsName, refusal);
    }
    return nameError.empty() || Fail(folder + kSumsName, nameError);
}

}  // namespace sums
