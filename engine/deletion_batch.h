// The pieces a join with delete-after-use has joined and not yet deleted, and how much of
// the output must be kept. This is the one place that decides which piece may go and how
// far a join that ends early may cut its output back: a piece is deleted only after the
// caller has made the output durable past its end, and the output is never cut back below
// the end of the last piece deleted, so every deleted piece's bytes stay in it; after a
// check that failed, it keeps no byte past the last piece that passed.
//
// Pieces wait in a batch until the caller flushes the output past them and hands the batch
// over; a thread of its own then deletes them while the join copies and flushes the next
// ones, so that the disk's time for deleting and for writing overlaps.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class DeletionBatch {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Pieces wait for one flush to cover several of them: 64 MiB of them, or half a second
    // since the first, as `clock` tells the time. Before each batch handed over is deleted,
    // `keepGoing` is asked (it may wait out a hold); `left` hears of each piece once it has
    // left, deleted or not, in number order, from the deleting thread.
    DeletionBatch(Clock clock, std::function<bool()> keepGoing, std::function<void(int)> left);
    // Waits for the pieces handed over.
    ~DeletionBatch();
    DeletionBatch(const DeletionBatch&) = delete;
    DeletionBatch& operator=(const DeletionBatch&) = delete;

    // The output already holds, up to `end`, the bytes of pieces that an earlier join deleted:
    // it is never cut back below that.
    void HoldsDeleted(std::uint64_t end);

    // Piece `number`, at `path`, `length` bytes long, has been joined; its last byte ends
    // at `end` in the output.
    void Add(int number, const std::string& path, std::uint64_t length, std::uint64_t end);
    bool Empty() const { return m_waiting.empty(); }
    bool Due() const;

    // Hands the waiting pieces over for deletion, in number order, once the caller has made
    // the output durable past the last of them. After a deletion fails no piece is deleted
    // any more, in this batch or a later one; neither after `keepGoing` said no.
    void Hand();
    // Lets the waiting pieces go without deleting them: the option was turned off.
    void Keep();
    // Waits until every piece handed over has left.
    void Drain();

    // Pieces have been queued for deletion in this job: an early end cuts the output back.
    bool Engaged() const { return m_engaged; }
    // Where a join that ends early cuts its output back to: the end of the last piece
    // deleted (0 when none was). Exact once drained.
    std::uint64_t KeepEnd();
    // The pieces up to `end` in the output passed the caller's check.
    void Passed(std::uint64_t end) { m_passedEnd = end; }
    // Where a join that ends with a failed check cuts its output back to: the end of the
    // last piece that passed, or with `anyPassed` false (the whole file failed) none; never
    // below KeepEnd. Exact once drained.
    std::uint64_t KeepAfterFailedCheck(bool anyPassed);
    bool DeletedAny();
    // The first piece that could not be deleted, and why; empty while none failed.
    std::string FailedPath();
    std::string FailureReason();
    bool Stopped();

private:
    struct Piece {
        int number;
        std::string path;
        std::uint64_t end;
    };

    void Delete();

    Clock m_clock;
    std::function<bool()> m_keepGoing;
    std::function<void(int)> m_left;

    // The job's side.
    std::vector<Piece> m_waiting;
    std::uint64_t m_waitingBytes = 0;
    std::chrono::steady_clock::time_point m_since;
    bool m_engaged = false;
    std::uint64_t m_passedEnd = 0;

    // Shared with the deleting thread, under m_lock.
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::vector<Piece>> m_handed;
    bool m_busy = false;  // the thread is deleting a batch it took
    bool m_closing = false;
    bool m_deletedAny = false;
    bool m_refused = false;  // keepGoing said no: nothing more is deleted
    std::uint64_t m_keepEnd = 0;
    std::string m_failedPath;
    std::string m_failureReason;
    std::thread m_thread;
};
