// The join job: the numbered pieces in a folder appended, in number order, to one file.
#include <cstdint>
#include <vector>

#include "engine/block_copy.h"
#include "engine/deletion_batch.h"
#include "engine/folder_flush.h"
#include "engine/job_controller.h"
#include "engine/job_observer.h"
#include "engine/job_paths.h"
#include "engine/piece_set.h"
#include "platform/file_system.h"
#include "platform/folder_listing.h"
#include "platform/system_error.h"

using Problem = JobReport::Problem;

namespace {

struct Listing {
    bool complete = false;               // read to its end without error
    std::string reason;                  // why not, in the system's words
    int matches = 0;                     // entries whose name contains "__"
    std::string lastMatch;               // the last of them, in listing order
    std::vector<std::string> fileNames;  // the matches that are files, not folders
};

Listing ListMatches(const std::string& folder) {
    Listing result;
    platform::FolderListing listing;
    if (!listing.Start(folder)) {
        result.reason = platform::LastSystemError();
        return result;
    }
    platform::FolderListing::Entry entry;
    while (listing.Next(&entry)) {
        if (entry.isFolder && (entry.name == "." || entry.name == "..")) {
            continue;
        }
        if (FindInPath(entry.name, "__") != std::string::npos) {
            ++result.matches;
            result.lastMatch = entry.name;
            if (!entry.isFolder) {
                result.fileNames.push_back(entry.name);
            }
        }
    }
    result.complete = !listing.Failed();
    if (!result.complete) {
        result.reason = platform::LastSystemError();
    }
    listing.Close();
    return result;
}

enum class PieceCopy { kCopied, kStopped, kReadFailed, kWriteFailed, kChanged };

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

}  // namespace

void CJobController::RunJoin() {
    std::string source = m_strSource;
    std::string target = m_strTarget;
    const bool staged = m_joinOptions.staged;
    AppendSeparator(&source);

    // Refuse a set with a gap or without piece 1 before anything is created, rather than
    // join a short file and call it a success. A listing cut short by an error could hide
    // pieces or name the wrong file, so it is refused too.
    const Listing listing = ListMatches(source);
    std::string outputName;
    if (!listing.complete || listing.matches == 0 ||
        !NameAfterMarker(listing.lastMatch, &outputName)) {
        return Fail(JOB_SOURCE_ERROR, 0, Problem::kNoPieces, m_strSource, listing.reason);
    }
    // No file can have these names; the output would be the target folder itself.
    if (outputName.empty() || outputName == "." || outputName == "..") {
        return Fail(JOB_TARGET_ERROR, 0, Problem::kBadName, source + listing.lastMatch);
    }
    const std::vector<int> numbers = PieceNumbers(listing.fileNames, outputName);
    if (const int missing = FirstMissingPiece(numbers)) {
        return Fail(JOB_SOURCE_ERROR, 0, Problem::kMissingPiece,
                    source + PieceName(missing, outputName), std::string(), missing);
    }
    const int highest = numbers.back();

    // Every piece must open, and the pieces must fit together, before the output is
    // created, so that a join that cannot give back the original (a piece held by another
    // program, stale pieces of an earlier split, a piece cut short) leaves a file of the
    // output's name and the pieces alone. Piece 1 stays open for the copy.
    platform::BufferedReader piece(platform::kFileBufferSize);
    std::vector<std::uint64_t> lengths(static_cast<std::size_t>(highest));
    std::uint64_t total = 0;
    for (int number = highest; number >= 1; --number) {
        const std::string path = source + PieceName(number, outputName);
        std::uint64_t& length = lengths[static_cast<std::size_t>(number - 1)];
        if (!piece.Open(path) || !piece.Length(&length)) {
            const std::string reason = platform::LastSystemError();
            piece.Close();
            return Fail(JOB_SOURCE_ERROR, 0, Problem::kUnreadable, path, reason);
        }
        total += length;
        if (number > 1) {
            piece.Close();
        }
    }
    if (const int misfit = FirstMisfit(lengths)) {
        piece.Close();
        return Fail(JOB_SOURCE_ERROR, 0, Problem::kMisfit, source + PieceName(misfit, outputName),
                    std::string(), misfit);
    }
    JobObserver* const observer = m_pJobObserver;
    if (observer != nullptr) {
        const JobResult verdict = observer->JoinStarts(outputName, lengths);
        if (verdict != JOB_OK) {
            piece.Close();
            return Fail(verdict, 0, Problem::kVetoed, source);
        }
    }
    // The folders are made from the target as given, as the split makes them, so that a
    // name the system would trim (blanks) is refused the same way by both jobs.
    const std::vector<std::string> grown = CreateFolderChain(target);
    AppendSeparator(&target);
    const std::string outputPath = target + outputName;
    const std::string writtenPath = staged ? target + StagingName(outputName) : outputPath;
    platform::BufferedWriter output(platform::kFileBufferSize);
    if (!output.Create(writtenPath, staged ? platform::File::Access::kCreateHidden
                                           : platform::File::Access::kCreateWrite)) {
        const std::string reason = platform::LastSystemError();
        piece.Close();
        return Fail(JOB_TARGET_ERROR, 0, Problem::kUnwritable, writtenPath, reason);
    }
    m_nBytesExpected = total;
    Post(WM_JOB_RANGE, static_cast<std::uintptr_t>(listing.matches), 0);

    char block[kBlockSize];
    int lastFinished = 0;
    std::uint64_t written = 0;  // bytes of the pieces joined
    bool foldersFlushed = false;
    DeletionBatch batch(m_clock);
    const auto report = [&](int number) {
        lastFinished = number;
        Post(WM_JOB_PROGRESS, 0, number);
    };
    // Every early end closes the output. Once pieces have been queued for deletion it is
    // cut back to the end of the last piece deleted (DeletionBatch), so that it keeps every
    // deleted piece's bytes and, while the pieces deleted are the first ones, it and the
    // pieces left give the original exactly. (Closed, it holds every piece already.) A
    // staged output goes too, unless it holds the only copy of a piece deleted.
    const auto end = [&](bool stopped, JobResult result, Problem problem, const std::string& path,
                         const std::string& reason) {
        piece.Close();
        const bool cut = !batch.Engaged() || !output.IsOpen() || output.Truncate(batch.KeepEnd());
        const std::string cutReason = cut ? std::string() : platform::LastSystemError();
        output.Close();
        if (staged && !batch.DeletedAny()) {
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
            batch.Keep(report);
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
        batch.Delete(report);
        if (batch.Stopped() && m_report.notDeleted.empty()) {
            m_report.notDeleted = batch.FailedPath();
            m_report.notDeletedReason = batch.FailureReason();
        }
        return true;
    };

    for (int number = 1; number <= highest; ++number) {
        const std::string piecePath = source + PieceName(number, outputName);
        if (number > 1 && !piece.Open(piecePath)) {
            // A piece the listing found has gone missing since.
            return end(false, JOB_SOURCE_ERROR, Problem::kUnreadable, piecePath,
                       platform::LastSystemError());
        }
        const std::uint64_t length = lengths[static_cast<std::size_t>(number - 1)];
        const PieceCopy copy = CopyPiece(piece, output, length, block, Hooks());
        switch (copy) {
            case PieceCopy::kCopied:
                break;
            case PieceCopy::kStopped:
                return end(true, JOB_ABORTED, Problem::kNone, std::string(), std::string());
            case PieceCopy::kReadFailed:
                return end(false, JOB_SOURCE_ERROR, Problem::kUnreadable, piecePath,
                           platform::LastSystemError());
            case PieceCopy::kChanged:
                return end(false, JOB_SOURCE_ERROR, Problem::kChanged, piecePath, std::string());
            case PieceCopy::kWriteFailed:
                return end(false, JOB_TARGET_ERROR, Problem::kUnwritable, writtenPath,
                           platform::LastSystemError());
        }
        piece.Close();
        written += length;
        if (observer != nullptr) {
            const JobResult verdict = observer->PieceDone(number);
            if (verdict != JOB_OK) {
                return end(false, verdict, Problem::kVetoed, piecePath, std::string());
            }
        }
        if (m_bDeleteSource && !batch.Stopped()) {
            // A piece is data until its bytes are safely in the output. They start on their
            // way now, so that the batch's flush finds most of them written already.
            batch.Add(number, piecePath, length, written);
            if (!output.StartFlush()) {
                return end(false, JOB_TARGET_ERROR, Problem::kUnwritable, writtenPath,
                           platform::LastSystemError());
            }
            if (batch.Due() && !settle()) {
                return;
            }
            continue;
        }
        // A staged output is flushed before it is named: its bytes start on their way now.
        if (staged && !output.StartFlush()) {
            return end(false, JOB_TARGET_ERROR, Problem::kUnwritable, writtenPath,
                       platform::LastSystemError());
        }
        // Pieces still waiting for deletion are reported first, in number order.
        if (!settle()) {
            return;
        }
        report(number);
    }
    if (!settle()) {
        return;
    }

    // A staged output takes the output's name only once its bytes are durable and accepted,
    // so that the name never holds a file that is not whole.
    if ((staged && !output.Flush()) || !output.Close()) {
        return end(false, JOB_TARGET_ERROR, Problem::kUnwritable, writtenPath,
                   platform::LastSystemError());
    }
    if (observer != nullptr) {
        const JobResult verdict = observer->Finished(target, outputName, lastFinished);
        if (verdict != JOB_OK) {
            return end(false, verdict, Problem::kVetoed, outputPath, std::string());
        }
    }
    if (staged) {
        if (!platform::Unhide(writtenPath) || !platform::RenameFile(writtenPath, outputPath)) {
            return end(false, JOB_TARGET_ERROR, Problem::kUnwritable, outputPath,
                       platform::LastSystemError());
        }
        // The file is whole under its name now; only its folder entry may not be durable.
        if (!FlushFolders(target, grown)) {
            return Fail(JOB_TARGET_ERROR, lastFinished, Problem::kNotDurable, outputPath,
                        platform::LastSystemError());
        }
    }
    // No result while the user is being asked whether to stop.
    m_hold.Pass();
    Post(WM_JOB_DONE, JOB_OK, lastFinished);
}
