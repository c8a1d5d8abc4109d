#include "engine/deletion_batch.h"

#include "platform/file_system.h"
#include "platform/system_error.h"

namespace {

constexpr std::uint64_t kBatchBytes = std::uint64_t{64} << 20;
constexpr std::chrono::milliseconds kBatchAge{500};

}  // namespace

void DeletionBatch::Add(int number,
                        const std::string& path,
                        std::uint64_t length,
                        std::uint64_t end) {
    if (m_waiting.empty()) {
        m_since = m_clock();
    }
    m_engaged = true;
    m_waiting.push_back({number, path, end});
    m_waitingBytes += length;
}

bool DeletionBatch::Due() const {
    return !m_waiting.empty() &&
           (m_waitingBytes >= kBatchBytes || m_clock() - m_since >= kBatchAge);
}

void DeletionBatch::Leave(const std::function<void(int)>& left) {
    for (const Piece& piece : m_waiting) {
        left(piece.number);
    }
    m_waiting.clear();
    m_waitingBytes = 0;
}

void DeletionBatch::Delete(const std::function<void(int)>& left) {
    for (const Piece& piece : m_waiting) {
        if (!Stopped()) {
            if (platform::RemoveFile(piece.path)) {
                m_deletedAny = true;
                m_keepEnd = piece.end;
            } else {
                m_failedPath = piece.path;
                m_failureReason = platform::LastSystemError();
            }
        }
        left(piece.number);
    }
    m_waiting.clear();
    m_waitingBytes = 0;
}

void DeletionBatch::Keep(const std::function<void(int)>& left) {
    Leave(left);
}
