#include "engine/deletion_batch.h"

#include <utility>

#include "platform/file_system.h"
#include "platform/system_error.h"

namespace {

constexpr std::uint64_t kBatchBytes = std::uint64_t{64} << 20;
constexpr std::chrono::milliseconds kBatchAge{500};

}  // namespace

DeletionBatch::DeletionBatch(Clock clock,
                             std::function<bool()> keepGoing,
                             std::function<void(int)> left)
    : m_clock(std::move(clock)), m_keepGoing(std::move(keepGoing)), m_left(std::move(left)) {}

DeletionBatch::~DeletionBatch() {
    Drain();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_closing = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void DeletionBatch::HoldsDeleted(std::uint64_t end) {
    m_passedEnd = end;
    std::lock_guard<std::mutex> guard(m_lock);
    m_engaged = true;
    m_deletedAny = true;
    m_keepEnd = end;
}

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

void DeletionBatch::Hand() {
    if (m_waiting.empty()) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_handed.push_back(std::move(m_waiting));
        if (!m_thread.joinable()) {
            m_thread = std::thread(&DeletionBatch::Delete, this);
        }
    }
    m_changed.notify_all();
    m_waiting.clear();
    m_waitingBytes = 0;
}

void DeletionBatch::Keep() {
    Drain();
    for (const Piece& piece : m_waiting) {
        m_left(piece.number);
    }
    m_waiting.clear();
    m_waitingBytes = 0;
}

void DeletionBatch::Drain() {
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait(guard, [this] { return m_handed.empty() && !m_busy; });
}

void DeletionBatch::Delete() {
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        m_changed.wait(guard, [this] { return m_closing || !m_handed.empty(); });
        if (m_handed.empty()) {
            return;
        }
        const std::vector<Piece> batch = std::move(m_handed.front());
        m_handed.pop_front();
        m_busy = true;
        bool deleting = !m_refused && m_failedPath.empty();
        guard.unlock();
        // An abort asked for while the batch waited is honoured before it is deleted.
        if (deleting && !m_keepGoing()) {
            deleting = false;
            guard.lock();
            m_refused = true;
            guard.unlock();
        }
        for (const Piece& piece : batch) {
            if (deleting && !platform::RemoveFile(piece.path)) {
                const std::string reason = platform::LastSystemError();
                deleting = false;
                guard.lock();
                m_failedPath = piece.path;
                m_failureReason = reason;
                guard.unlock();
            } else if (deleting) {
                guard.lock();
                m_deletedAny = true;
                m_keepEnd = piece.end;
                guard.unlock();
            }
            // Joined whole either way: a piece not deleted is finished all the same.
            m_left(piece.number);
        }
        guard.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

std::uint64_t DeletionBatch::KeepEnd() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_keepEnd;
}

std::uint64_t DeletionBatch::KeepAfterFailedCheck(bool anyPassed) {
    const std::uint64_t deleted = KeepEnd();
    return anyPassed && m_passedEnd > deleted ? m_passedEnd : deleted;
}

bool DeletionBatch::DeletedAny() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_deletedAny;
}

std::string DeletionBatch::FailedPath() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_failedPath;
}

std::string DeletionBatch::FailureReason() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_failureReason;
}

bool DeletionBatch::Stopped() {
    std::lock_guard<std::mutex> guard(m_lock);
    return !m_failedPath.empty() || m_refused;
}
