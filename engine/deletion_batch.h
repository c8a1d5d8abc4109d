// The pieces a join with delete-after-use has joined and not yet deleted, and how much of
// the output must be kept. This is the one place that decides which piece may go and how
// far a join that ends early may cut its output back: a piece is deleted only after the
// caller has made the output durable past its end, and the output is never cut back below
// the end of the last piece deleted, so every deleted piece's bytes stay in it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class DeletionBatch {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Pieces wait for one flush to cover several of them: 64 MiB of them, or half a second
    // since the first, as `clock` tells the time.
    explicit DeletionBatch(Clock clock) : m_clock(std::move(clock)) {}

    // The output already holds, up to `end`, the bytes of pieces that an earlier join deleted:
    // it is never cut back below that.
    void HoldsDeleted(std::uint64_t end) {
        m_engaged = true;
        m_deletedAny = true;
        m_keepEnd = end;
    }

    // Piece `number`, at `path`, `length` bytes long, has been joined; its last byte ends
    // at `end` in the output.
    void Add(int number, const std::string& path, std::uint64_t length, std::uint64_t end);
    bool Empty() const { return m_waiting.empty(); }
    bool Due() const;
    // The end in the output of the last piece waiting; the output must be durable up to
    // here before Delete.
    std::uint64_t WaitingEnd() const { return m_waiting.empty() ? 0 : m_waiting.back().end; }

    // Deletes the waiting pieces in number order, calling `left` with each piece's number
    // once it has left the batch, deleted or not, for its progress report. After a deletion
    // fails no piece is deleted any more, in this batch or a later one.
    void Delete(const std::function<void(int number)>& left);
    // Lets the waiting pieces go without deleting them: the option was turned off.
    void Keep(const std::function<void(int number)>& left);

    // Pieces have been queued for deletion in this job: an early end cuts the output back.
    bool Engaged() const { return m_engaged; }
    // Where a join that ends early cuts its output back to: the end of the last piece
    // deleted (0 when none was).
    std::uint64_t KeepEnd() const { return m_keepEnd; }
    bool DeletedAny() const { return m_deletedAny; }
    // The first piece that could not be deleted, and why; empty while none failed.
    const std::string& FailedPath() const { return m_failedPath; }
    const std::string& FailureReason() const { return m_failureReason; }
    bool Stopped() const { return !m_failedPath.empty(); }

private:
    struct Piece {
        int number;
        std::string path;
        std::uint64_t end;
    };

    void Leave(const std::function<void(int)>& left);

    Clock m_clock;
    std::vector<Piece> m_waiting;
    std::uint64_t m_waitingBytes = 0;
    std::chrono::steady_clock::time_point m_since;
    bool m_engaged = false;
    bool m_deletedAny = false;
    std::uint64_t m_keepEnd = 0;
    std::string m_failedPath;
    std::string m_failureReason;
};
