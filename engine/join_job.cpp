// The join job: the numbered pieces in a folder appended, in number order, to one file; or,
// after a join with delete-after-use stopped, the pieces left appended to what it made.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

#include "engine/block_copy.h"
#include "engine/continue_probe.h"
#include "engine/deletion_batch.h"
#include "engine/folder_flush.h"
#include "engine/job_controller.h"
#include "engine/job_observer.h"
#include "engine/job_paths.h"
#include "engine/piece_listing.h"
#include "engine/piece_set.h"
#include "platform/file_claim.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

using Problem = JobReport::Problem;

namespace {

enum class PieceCopy { kCopied, kStopped, kReadFailed, kWriteFailed, kChanged };

// The observer's verdict on a piece is asked only once this many more are copied, so that it
// judges pieces while the job reads the next ones.
constexpr std::size_t kJudgedLater = 4;

// Copies a piece that must still hold exactly the `length` bytes it held when the set was
// checked.
PieceCopy CopyPiece(platform::BufferedReader& piece,
                    platform::BufferedWriter& output,
                    std::uint64_t length,
                    char* block,
                    const CopyHooks& hooks) {
    std::uint64_t copied = 0;
    switch (CopyBlocks(piece, output, length, block, hooks, &copied)) {
        case CopyEnd::kStopped:
            return PieceCopy::kStopped;
        case CopyEnd::kReadFailed:
            return PieceCopy::kReadFailed;
        case CopyEnd::kWriteFailed:
            return PieceCopy::kWriteFailed;
        case CopyEnd::kSourceEnd:
        case CopyEnd::kLimitReached:
            break;
    }
    char probe;
    const std::int64_t more = piece.Read(&probe, 1);
    return more < 0                        ? PieceCopy::kReadFailed
           : copied == length && more == 0 ? PieceCopy::kCopied
                                           : PieceCopy::kChanged;
}

// Reads `size` bytes from `file` into `data`; false unless all came.
bool ReadExactly(platform::BufferedReader& file, char* data, std::size_t size) {
    return file.Read(data, size) == static_cast<std::int64_t>(size);
}

}  // namespace

void CJobController::RunJoin() {
    std::string source = m_strSource;
    std::string target = m_strTarget;
    const JoinOptions options = m_joinOptions;
    AppendSeparator(&source);

    // Refuse a set with a gap or without piece 1 before anything is created, rather than
    // join a short file and call it a success. A listing cut short by an error could hide
    // pieces or name the wrong file, so it is refused too.
    const PieceListing listing = ListPieces(source);
    const std::optional<std::string>& named = options.fileName;
    std::string outputName = named.value_or(std::string());
    if (!listing.complete || listing.matches == 0 ||
        (!named && !NameAfterMarker(listing.lastMatch, &outputName))) {
        return Fail(JOB_SOURCE_ERROR, 0, Problem::kNoPieces, m_strSource, listing.reason);
    }
    // No file can have these names; the output would be the target folder itself.
    if (outputName.empty() || outputName == "." || outputName == "..") {
        return Fail(JOB_TARGET_ERROR, 0, Problem::kBadName,
                    source + (named ? PieceName(1, outputName) : listing.lastMatch));
    }
    const std::vector<int> numbers = PieceNumbers(listing.fileNames, outputName);
    std::string targetFolder = target;
    AppendSeparator(&targetFolder);
    const std::string outputPath = targetFolder + outputName;
    const std::string writtenPath =
        options.staged ? targetFolder + StagingName(outputName) : outputPath;
    const auto piecePath = [&](int number) { return source + PieceName(number, outputName); };

    // A split still writing these pieces holds the first one until it ends: a set read now
    // could look whole while it is not. Joins only share it.
    platform::FileClaim reading;
    if (!numbers.empty() && numbers.front() == 1) {
        switch (reading.Claim(piecePath(1), platform::FileClaim::Use::kRead)) {
            case platform::FileClaim::Outcome::kTaken:
                return Fail(JOB_SOURCE_ERROR, 0, Problem::kInUse, piecePath(1));
            case platform::FileClaim::Outcome::kFailed:
                return Fail(JOB_SOURCE_ERROR, 0, Problem::kUnreadable, piecePath(1),
                            platform::LastSystemError());
            case platform::FileClaim::Outcome::kClaimed:
            case platform::FileClaim::Outcome::kGone:
                break;
        }
    }

    // A staged output already there holds the pieces of a join that stopped: the join goes
    // on from it, or leaves it alone; only one that holds no piece deleted is replaced.
    // One that another join is writing now is left to it.
    platform::FileClaim claim;
    platform::FileClaim::Outcome claimed = platform::FileClaim::Outcome::kGone;
    platform::FileStamp partial;
    bool partialThere = false;
    if (options.continueOutput || options.staged) {
        claimed = claim.Claim(writtenPath);
        if (claimed == platform::FileClaim::Outcome::kTaken) {
            return Fail(JOB_TARGET_ERROR, 0, Problem::kInUse, writtenPath, std::string());
        }
        if (claimed == platform::FileClaim::Outcome::kFailed && !platform::LastErrorIsNotFound()) {
            return Fail(JOB_TARGET_ERROR, 0, Problem::kUnreadable, writtenPath,
                        platform::LastSystemError());
        }
        // One that cannot be looked at is never taken for one that is not there.
        if (claimed == platform::FileClaim::Outcome::kClaimed &&
            platform::StampOf(writtenPath, &partial)) {
            partialThere = partial.regular;
        } else if (!platform::LastErrorIsNotFound()) {
            return Fail(JOB_TARGET_ERROR, 0, Problem::kUnreadable, writtenPath,
                        platform::LastSystemError());
        }
    }
    if (options.continueOutput && !partialThere) {
        return Fail(JOB_SOURCE_ERROR, 0, Problem::kPartialMisfit, writtenPath,
                    platform::LastSystemError());
    }
    bool goOn = options.continueOutput || partialThere;
    const int missing = FirstMissingPiece(numbers);
    if (!goOn && missing != 0) {
        // A staged join, which replaces nothing it could go on from, says when the file of
        // the output's name holds the pieces missing.
        ContinueProbe could;
        if (options.staged &&
            ProbeContinue(source, target, false, &could, named) == ContinueFit::kFits) {
            return Fail(JOB_SOURCE_ERROR, 0, Problem::kCanContinue, outputPath, std::string(),
                        could.plan.kept);
        }
        return Fail(JOB_SOURCE_ERROR, 0, Problem::kMissingPiece, piecePath(missing), std::string(),
                    missing);
    }

    // Every piece there must open, and the pieces must fit together, before the output is
    // created or changed, so that a join that cannot give back the original (a piece held
    // by another program, stale pieces of an earlier split, a piece cut short) leaves a
    // file of the output's name and the pieces alone.
    platform::BufferedReader piece(platform::kFileBufferSize);
    std::vector<std::uint64_t> present;
    std::string failedPath;
    std::string reason;
    if (!PieceLengths(source, outputName, numbers, &present, &failedPath, &reason)) {
        return Fail(JOB_SOURCE_ERROR, 0, Problem::kUnreadable, failedPath, reason);
    }
    ContinuedJoin plan;
    plan.count = numbers.empty() ? 0 : numbers.back();
    if (goOn) {
        std::string why;
        const auto endsWithLast = [&](std::uint64_t pieceLength) {
            return HoldsAt(writtenPath, static_cast<std::uint64_t>(plan.count - 1) * pieceLength,
                           piecePath(plan.count));
        };
        const ContinueFit fit =
            CheckContinue(numbers, present, partial.length, endsWithLast, &plan, &why);
        if (fit == ContinueFit::kNothingMissing && !options.continueOutput &&
            HoldsPiecesFromStart(writtenPath, source, outputName, plan.count)) {
            goOn = false;  // every piece is still there and holds what it does: replaced
        } else if (fit != ContinueFit::kFits) {
            return Fail(JOB_SOURCE_ERROR, 0, Problem::kPartialMisfit, writtenPath,
                        fit == ContinueFit::kNothingMissing ? "no piece it holds is missing" : why);
        }
    }
    if (!goOn) {
        if (const int misfit = FirstMisfit(present)) {
            return Fail(JOB_SOURCE_ERROR, 0, Problem::kMisfit, piecePath(misfit), std::string(),
                        misfit);
        }
    }
    const int kept = plan.kept;
    const int highest = plan.count;
    const std::uint64_t keptBytes = static_cast<std::uint64_t>(kept) * plan.pieceLength;
    std::vector<std::uint64_t> lengths(static_cast<std::size_t>(highest), plan.pieceLength);
    std::uint64_t toCopy = 0;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        lengths[static_cast<std::size_t>(numbers[i] - 1)] = present[i];
        toCopy += numbers[i] > kept ? present[i] : 0;
    }

    JobObserver* const observer = m_pJobObserver;
    if (observer != nullptr) {
        const JobResult verdict = observer->JoinStarts(outputName, lengths);
        if (verdict != JOB_OK) {
            return Fail(verdict, 0, Problem::kVetoed, source);
        }
    }
    // Before anything is changed, the pieces the partial output holds are read from it as if
    // they were joined now: the observer checks them, and each still in the folder must be
    // the same bytes, or the pieces are not this output's.
    if (goOn) {
        const bool watched = observer != nullptr && observer->WatchesBytes();
        const bool keptThere = numbers.front() <= kept;
        platform::BufferedReader held(platform::kFileBufferSize);
        if ((watched || keptThere) && !held.Open(writtenPath)) {
            return Fail(JOB_SOURCE_ERROR, 0, Problem::kUnreadable, writtenPath,
                        platform::LastSystemError());
        }
        char bytes[kBlockSize];
        char other[kBlockSize];
        std::uint64_t at = 0;  // where `held` reads
        // Nothing is changed yet, so a verdict asked late ends the job as one asked at once.
        std::deque<int> unjudged;
        const auto judge = [&](std::size_t keep) {
            for (; unjudged.size() > keep; unjudged.pop_front()) {
                if (observer->PieceVerdict(unjudged.front()) != JOB_OK) {
                    Fail(JOB_SOURCE_ERROR, 0, Problem::kVetoed, piecePath(unjudged.front()));
                    return false;
                }
            }
            return true;
        };
        for (int number = 1; number <= kept; ++number) {
            const bool there = std::binary_search(numbers.begin(), numbers.end(), number);
            if (there && !piece.Open(piecePath(number))) {
                return Fail(JOB_SOURCE_ERROR, 0, Problem::kUnreadable, piecePath(number),
                            platform::LastSystemError());
            }
            // Bytes nobody compares or watches are not read at all.
            const std::uint64_t start = static_cast<std::uint64_t>(number - 1) * plan.pieceLength;
            if ((watched || there) && at != start && !held.SkipTo(start)) {
                piece.Close();
                return Fail(JOB_SOURCE_ERROR, 0, Problem::kUnreadable, writtenPath,
                            platform::LastSystemError());
            }
            for (std::uint64_t done = 0; (watched || there) && done < plan.pieceLength;) {
                if (!KeepGoing()) {
                    piece.Close();
                    return PostStopped(0);
                }
                // Read where the observer takes the bytes from without copying them, if it can.
                std::size_t room = kBlockSize;
                char* const lent = watched ? observer->ReadBuffer(&room) : nullptr;
                char* const into = lent != nullptr ? lent : bytes;
                room = lent != nullptr ? room : kBlockSize;
                const std::size_t step = plan.pieceLength - done < room
                                             ? static_cast<std::size_t>(plan.pieceLength - done)
                                             : room;
                if (!ReadExactly(held, into, step)) {
                    piece.Close();
                    return Fail(JOB_SOURCE_ERROR, 0, Problem::kUnreadable, writtenPath,
                                platform::LastSystemError());
                }
                for (std::size_t same = 0; there && same < step;) {
                    const std::size_t part = std::min(step - same, kBlockSize);
                    if (!ReadExactly(piece, other, part) ||
                        std::memcmp(into + same, other, part) != 0) {
                        piece.Close();
                        return Fail(JOB_SOURCE_ERROR, 0, Problem::kPartialMisfit, writtenPath,
                                    "its bytes differ from piece " + std::to_string(number) +
                                        ", which is still there");
                    }
                    same += part;
                }
                if (watched) {
                    observer->PieceBytes(into, step);
                }
                done += step;
                at = start + done;
            }
            piece.Close();
            if (observer == nullptr) {
                continue;
            }
            if (observer->PieceDone(number) != JOB_OK) {
                return Fail(JOB_SOURCE_ERROR, 0, Problem::kVetoed, piecePath(number));
            }
            unjudged.push_back(number);
            if (!judge(kJudgedLater)) {
                return;
            }
        }
        held.Close();
        if (!judge(0)) {
            return;
        }
    }

    // The folders are made from the target as given, as the split makes them, so that a
    // name the system would trim (blanks) is refused the same way by both jobs.
    const std::vector<std::string> grown = CreateFolderChain(target);
    target = targetFolder;
    platform::BufferedWriter output(platform::kFileBufferSize);
    // A partial output is cut back, or emptied when it is replaced, as the file claimed. A
    // staged one is made anew only where none is, and claimed at once: a join that made one
    // of that name meanwhile, or claimed the new one first, is left to write it.
    const bool opened =
        goOn || partialThere
            ? output.Continue(writtenPath, goOn ? keptBytes : 0)
            : output.Create(writtenPath, options.staged ? platform::File::Access::kCreateHidden
                                                        : platform::File::Access::kCreateWrite);
    if (!opened) {
        const bool taken = options.staged && claimed != platform::FileClaim::Outcome::kClaimed &&
                           platform::LastErrorIsAlreadyThere();
        return Fail(JOB_TARGET_ERROR, 0, taken ? Problem::kInUse : Problem::kUnwritable,
                    writtenPath, taken ? std::string() : platform::LastSystemError());
    }
    if (options.staged && !partialThere &&
        claim.Claim(writtenPath) != platform::FileClaim::Outcome::kClaimed) {
        output.Close();
        return Fail(JOB_TARGET_ERROR, 0, Problem::kInUse, writtenPath, std::string());
    }
    m_nBytesExpected = toCopy;
    Post(WM_JOB_RANGE, static_cast<std::uintptr_t>(goOn ? highest : listing.matches), 0);

    char block[kBlockSize];
    // Reported from this thread and from the batch's deleting one, in number order.
    std::atomic<int> lastFinished{kept};
    const auto report = [this, &lastFinished](int number) {
        lastFinished = number;
        Post(WM_JOB_PROGRESS, 0, number);
    };
    std::uint64_t written = keptBytes;  // bytes of the pieces joined
    bool foldersFlushed = false;
    DeletionBatch batch(
        m_clock, [this] { return KeepGoing(); }, report);
    if (kept > 0) {
        batch.HoldsDeleted(keptBytes);
    }
    // The last two pieces go only once the output is whole: until then, the pieces left
    // always tell how long a piece is, which a later join that goes on needs.
    struct LastPiece {
        int number;
        std::string path;
        bool deleting;  // the option was on when it was joined
    };
    std::vector<LastPiece> lastPieces;
    // What the batch's deleting thread met, once it has done its work.
    const auto noteNotDeleted = [&] {
        batch.Drain();
        if (m_report.notDeleted.empty() && !batch.FailedPath().empty()) {
            m_report.notDeleted = batch.FailedPath();
            m_report.notDeletedReason = batch.FailureReason();
        }
    };
    // Every early end closes the output. Once pieces have been queued for deletion it is
    // cut back to the end of the last piece deleted (DeletionBatch), so that it keeps every
    // deleted piece's bytes and, while the pieces deleted are the first ones, it and the
    // pieces left give the original exactly. (Closed, it holds every piece already.) A
    // staged output goes too, unless it holds the only copy of a piece deleted.
    const auto end = [&](bool stopped, JobResult result, Problem problem, const std::string& path,
                         const std::string& reason) {
        piece.Close();
        noteNotDeleted();
        const bool cut = !batch.Engaged() || !output.IsOpen() || output.Truncate(batch.KeepEnd());
        const std::string cutReason = cut ? std::string() : platform::LastSystemError();
        output.Close();
        if (options.staged && !batch.DeletedAny()) {
            platform::RemoveFile(writtenPath);
        }
        if (stopped && m_bShutdown) {
            return;
        }
        if (!cut) {
            return Fail(JOB_TARGET_ERROR, lastFinished, Problem::kUnwritable, writtenPath,
                        cutReason);
        }
        if (stopped) {
            return PostStopped(lastFinished);
        }
        Fail(result, lastFinished, problem, path, reason);
    };
    // Deletes the pieces waiting, once the output is durable past them and still where it
    // was written, or lets them go undeleted when the option was turned off meanwhile.
    // False after it ended the job.
    const auto settle = [&]() {
        if (batch.Empty()) {
            return true;
        }
        if (!m_bDeleteSource) {
            batch.Keep();
            return true;
        }
        if (!KeepGoing()) {
            end(true, JOB_ABORTED, Problem::kNone, std::string(), std::string());
            return false;
        }
        if (!output.Flush() || (!foldersFlushed && !FlushFolders(target, grown))) {
            end(false, JOB_TARGET_ERROR, Problem::kUnwritable, writtenPath,
                platform::LastSystemError());
            return false;
        }
        foldersFlushed = true;
        if (!output.IsAt(writtenPath)) {
            end(false, JOB_TARGET_ERROR, Problem::kOutputMoved, writtenPath,
                platform::LastSystemError());
            return false;
        }
        // Deleted beside the copy of the next pieces.
        batch.Hand();
        return true;
    };

    // What happens to a piece once the observer has judged it: a batch for deletion, the
    // last two held back, or a report. False after it ended the job.
    const auto place = [&](int number, const std::string& path, std::uint64_t length,
                           std::uint64_t pieceEnd) {
        if (observer != nullptr) {
            const JobResult verdict = observer->PieceVerdict(number);
            if (verdict != JOB_OK) {
                end(false, verdict, Problem::kVetoed, path, std::string());
                return false;
            }
        }
        const bool deleting = m_bDeleteSource && !batch.Stopped();
        if (number >= highest - 1) {
            lastPieces.push_back({number, path, deleting});
            return true;
        }
        if (deleting) {
            batch.Add(number, path, length, pieceEnd);
            return !batch.Due() || settle();
        }
        // Pieces still waiting for deletion are reported first, in number order.
        if (!settle()) {
            return false;
        }
        batch.Drain();
        report(number);
        return true;
    };
    // Pieces copied whole whose verdict is not asked yet (kJudgedLater).
    struct Judged {
        int number;
        std::string path;
        std::uint64_t length;
        std::uint64_t end;
    };
    std::deque<Judged> waiting;
    // Places the pieces waiting for their verdict, all of them or all but the last few.
    const auto placeWaiting = [&](std::size_t keep) {
        while (waiting.size() > keep) {
            const Judged next = waiting.front();
            waiting.pop_front();
            if (!place(next.number, next.path, next.length, next.end)) {
                return false;
            }
        }
        return true;
    };
    // An early end that comes while pieces copied whole wait for their verdict: those that
    // would simply have been reported are judged and reported first. One that would have
    // waited for deletion stays, with every one after it: nothing more is deleted now.
    const auto endAfterWaiting = [&](bool stopped, JobResult result, Problem problem,
                                     const std::string& path, const std::string& reason) {
        for (const Judged& next : waiting) {
            if (m_bDeleteSource && !batch.Stopped()) {
                // Joined and waiting like the pieces of a batch, which an early end cuts
                // the output back past.
                batch.Add(next.number, next.path, next.length, next.end);
                continue;
            }
            if (!batch.Empty() || next.number >= highest - 1) {
                break;
            }
            if (observer != nullptr) {
                const JobResult verdict = observer->PieceVerdict(next.number);
                if (verdict != JOB_OK) {
                    return end(false, verdict, Problem::kVetoed, next.path, std::string());
                }
            }
            batch.Drain();
            report(next.number);
        }
        waiting.clear();
        end(stopped, result, problem, path, reason);
    };
    for (int number = kept + 1; number <= highest; ++number) {
        const std::string path = piecePath(number);
        if (!piece.Open(path)) {
            // A piece checked above has gone missing since.
            return endAfterWaiting(false, JOB_SOURCE_ERROR, Problem::kUnreadable, path,
                                   platform::LastSystemError());
        }
        const std::uint64_t length = lengths[static_cast<std::size_t>(number - 1)];
        const PieceCopy copy = CopyPiece(piece, output, length, block, Hooks());
        switch (copy) {
            case PieceCopy::kCopied:
                break;
            case PieceCopy::kStopped:
                return endAfterWaiting(true, JOB_ABORTED, Problem::kNone, std::string(),
                                       std::string());
            case PieceCopy::kReadFailed:
                return endAfterWaiting(false, JOB_SOURCE_ERROR, Problem::kUnreadable, path,
                                       platform::LastSystemError());
            case PieceCopy::kChanged:
                return endAfterWaiting(false, JOB_SOURCE_ERROR, Problem::kChanged, path,
                                       std::string());
            case PieceCopy::kWriteFailed:
                return endAfterWaiting(false, JOB_TARGET_ERROR, Problem::kUnwritable, writtenPath,
                                       platform::LastSystemError());
        }
        piece.Close();
        written += length;
        if (observer != nullptr) {
            const JobResult verdict = observer->PieceDone(number);
            if (verdict != JOB_OK) {
                return endAfterWaiting(false, verdict, Problem::kVetoed, path, std::string());
            }
        }
        // A piece is data until its bytes are safely in the output; a staged output is
        // flushed before it is named. Its bytes start on their way now, so that the flush
        // finds most of them written already.
        if ((m_bDeleteSource || options.staged) && !output.StartFlush()) {
            return endAfterWaiting(false, JOB_TARGET_ERROR, Problem::kUnwritable, writtenPath,
                                   platform::LastSystemError());
        }
        waiting.push_back({number, path, length, written});
        if (!placeWaiting(kJudgedLater)) {
            return;
        }
    }
    if (!placeWaiting(0)) {
        return;
    }
    if (!settle()) {
        return;
    }
    noteNotDeleted();

    // A staged output takes the output's name only once its bytes are durable and accepted,
    // so that the name never holds a file that is not whole; so must one whose last pieces
    // are to be deleted.
    const bool deletingLast = std::any_of(lastPieces.begin(), lastPieces.end(),
                                          [](const LastPiece& last) { return last.deleting; });
    if (((options.staged || deletingLast) && !output.Flush()) || !output.Close()) {
        return end(false, JOB_TARGET_ERROR, Problem::kUnwritable, writtenPath,
                   platform::LastSystemError());
    }
    if (observer != nullptr) {
        const JobResult verdict = observer->Finished(target, outputName, highest);
        if (verdict != JOB_OK) {
            return end(false, verdict, Problem::kVetoed, outputPath, std::string());
        }
    }
    // The last point where an abort keeps the last pieces: from here the job only names its
    // output and deletes them, which takes no time worth stopping.
    if (deletingLast && !KeepGoing()) {
        return end(true, JOB_ABORTED, Problem::kNone, std::string(), std::string());
    }
    if (options.staged) {
        if (!platform::Unhide(writtenPath) || !platform::RenameFile(writtenPath, outputPath)) {
            return end(false, JOB_TARGET_ERROR, Problem::kUnwritable, outputPath,
                       platform::LastSystemError());
        }
    }
    // The file is whole under its name now; only its folder entry may not be durable.
    if ((options.staged || deletingLast) && !FlushFolders(target, grown)) {
        return Fail(JOB_TARGET_ERROR, lastFinished, Problem::kNotDurable, outputPath,
                    platform::LastSystemError());
    }
    // The last pieces, held back until now, go if the option still says so.
    const bool stillDeleting = m_bDeleteSource;
    for (const LastPiece& last : lastPieces) {
        if (last.deleting && stillDeleting && m_report.notDeleted.empty() && !batch.Stopped() &&
            !platform::RemoveFile(last.path)) {
            m_report.notDeleted = last.path;
            m_report.notDeletedReason = platform::LastSystemError();
        }
        report(last.number);
    }
    // No result while the user is being asked whether to stop.
    m_hold.Pass();
    Post(WM_JOB_DONE, JOB_OK, lastFinished);
}
