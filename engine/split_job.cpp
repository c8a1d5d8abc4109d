// The split job: one source file cut into numbered pieces of the piece size.
#include <climits>
#include <vector>

#include "engine/block_copy.h"
#include "engine/folder_flush.h"
#include "engine/job_controller.h"
#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/file_claim.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

using Problem = JobReport::Problem;

void CJobController::RunSplit() {
    const std::string source = m_strSource;
    std::string target = m_strTarget;
    // Every read takes a whole block and a piece ends with the block that fills it, so a
    // size between multiples of the block gives pieces of the next multiple.
    const std::uint64_t pieceSize =
        (std::uint64_t{m_nPieceSize} + kBlockSize - 1) / kBlockSize * kBlockSize;

    // Held open until the source is deleted: on Windows no other program can write to it or
    // delete it meanwhile.
    platform::BufferedReader reader(platform::kFileBufferSize);
    platform::FileStamp start;
    if (!reader.Open(source, platform::File::Access::kReadDeletable) || !reader.Stamp(&start)) {
        const std::string reason = platform::LastSystemError();
        reader.Close();
        return Fail(JOB_SOURCE_ERROR, 0, Problem::kUnreadable, source, reason);
    }
    const std::string fileName = reader.FileName();
    // A file on a disk is split as long as it was at the start, so that bytes added while it
    // is read land in no piece and its deletion can tell (below). A pipe is read to its end.
    const bool sized = start.regular;
    const std::uint64_t count = sized ? start.length / pieceSize + 1 : 0;
    if (count > static_cast<std::uint64_t>(INT_MAX)) {
        reader.Close();
        return Fail(JOB_TARGET_ERROR, 0, Problem::kTooManyPieces, source);
    }
    // Checked before anything is made: a name the folder cannot hold would fail only at the
    // piece that first has it.
    const std::string longest = PieceName(sized ? static_cast<int>(count) : INT_MAX, fileName);
    if (!platform::NameFits(target, longest)) {
        const std::string reason = platform::LastSystemError();
        reader.Close();
        std::string path = target;
        AppendSeparator(&path);
        return Fail(JOB_TARGET_ERROR, 0, Problem::kNameTooLong, path + longest, reason);
    }
    const std::vector<std::string> grown = CreateFolderChain(target);
    AppendSeparator(&target);
    m_nBytesExpected = sized ? start.length : kUnknownLength;
    Post(WM_JOB_RANGE, sized ? static_cast<std::uintptr_t>(start.length / m_nPieceSize + 1) : 0, 1);
    // The first piece is claimed before it is written and until the job ends, so that a
    // second split of that name into this folder at once leaves these pieces alone.
    const std::string firstPath = target + PieceName(1, fileName);
    platform::FileClaim claim;
    const platform::FileClaim::Outcome claimed = claim.Claim(firstPath);
    if (claimed == platform::FileClaim::Outcome::kTaken) {
        reader.Close();
        return Fail(JOB_TARGET_ERROR, 0, Problem::kInUse, firstPath);
    }
    if (claimed == platform::FileClaim::Outcome::kFailed && !platform::LastErrorIsNotFound()) {
        const std::string reason = platform::LastSystemError();
        reader.Close();
        return Fail(JOB_TARGET_ERROR, 0, Problem::kUnwritable, firstPath, reason);
    }

    platform::BufferedWriter piece(platform::kFileBufferSize);
    char block[kBlockSize];
    int lastFinished = 0;
    std::uint64_t remaining = start.length;
    for (int number = 1;; ++number) {
        const std::string piecePath = target + PieceName(number, fileName);
        // The first piece is emptied as the file claimed, or made where none was and claimed
        // at once; one made or claimed meanwhile by another split is left to it.
        const bool first = number == 1;
        const bool reused = first && claimed == platform::FileClaim::Outcome::kClaimed;
        const bool made =
            reused ? piece.Continue(piecePath, 0)
                   : piece.Create(piecePath, first ? platform::File::Access::kCreateNew
                                                   : platform::File::Access::kCreateWrite);
        if (!made || (first && !reused &&
                      claim.Claim(piecePath) != platform::FileClaim::Outcome::kClaimed)) {
            const bool taken = first && !reused && (made || platform::LastErrorIsAlreadyThere());
            const std::string reason = taken ? std::string() : platform::LastSystemError();
            piece.Close();
            reader.Close();
            return Fail(JOB_TARGET_ERROR, lastFinished,
                        taken ? Problem::kInUse : Problem::kUnwritable, piecePath, reason);
        }
        const std::uint64_t limit = sized && remaining < pieceSize ? remaining : pieceSize;
        std::uint64_t copied = 0;
        const CopyEnd end = CopyBlocks(reader, piece, limit, block, Hooks(), &copied);
        if (end == CopyEnd::kStopped) {
            // The piece keeps what was written to it; a stop is not a failure to report.
            piece.Close();
            reader.Close();
            return PostStopped(lastFinished);
        }
        if (end == CopyEnd::kWriteFailed) {
            const std::string reason = platform::LastSystemError();
            piece.Close();
            reader.Close();
            return Fail(JOB_TARGET_ERROR, lastFinished, Problem::kUnwritable, piecePath, reason);
        }
        if (end == CopyEnd::kReadFailed || (sized && copied < limit)) {
            // A file that ends before its length at the start was cut while it was read.
            const std::string reason =
                end == CopyEnd::kReadFailed ? platform::LastSystemError() : std::string();
            piece.Close();
            reader.Close();
            return Fail(JOB_SOURCE_ERROR, lastFinished,
                        end == CopyEnd::kReadFailed ? Problem::kUnreadable : Problem::kChanged,
                        source, reason);
        }
        // Pieces that will be flushed before the source goes start on their way to the disk
        // as each is finished, so that the flush at the end finds most of them written.
        // Whether the source goes is decided only at the end; this just follows the box.
        if ((m_bDeleteSource && !piece.StartFlush()) || !piece.Close()) {
            const std::string reason = platform::LastSystemError();
            piece.Close();
            reader.Close();
            return Fail(JOB_TARGET_ERROR, lastFinished, Problem::kUnwritable, piecePath, reason);
        }
        if (m_pJobObserver != nullptr) {
            const JobResult verdict = m_pJobObserver->PieceDone(number);
            if (verdict != JOB_OK) {
                reader.Close();
                return Fail(verdict, lastFinished, Problem::kVetoed, piecePath);
            }
        }
        lastFinished = number;
        Post(WM_JOB_PROGRESS, 0, number);
        remaining -= sized ? copied : 0;
        if (sized ? copied < pieceSize : end == CopyEnd::kSourceEnd) {
            break;
        }
    }

    // The pieces must be on the disk before the source may go. Each flush is a point where
    // an abort or a close is honoured, however long the disk takes.
    const bool flushed = m_bDeleteSource;
    if (flushed) {
        for (int number = 1; number <= lastFinished; ++number) {
            if (!KeepGoing()) {
                reader.Close();
                return PostStopped(lastFinished);
            }
            const std::string piecePath = target + PieceName(number, fileName);
            platform::File written;
            if (!written.Open(piecePath, platform::File::Access::kWriteExisting) ||
                !written.Flush() || !written.Close()) {
                const std::string reason = platform::LastSystemError();
                reader.Close();
                return Fail(JOB_TARGET_ERROR, lastFinished, Problem::kUnwritable, piecePath,
                            reason);
            }
        }
        if (!FlushFolders(target, grown)) {
            const std::string reason = platform::LastSystemError();
            reader.Close();
            return Fail(JOB_TARGET_ERROR, lastFinished, Problem::kUnwritable, target, reason);
        }
    }
    if (m_pJobObserver != nullptr) {
        const JobResult verdict = m_pJobObserver->Finished(target, fileName, lastFinished);
        if (verdict != JOB_OK) {
            reader.Close();
            return Fail(verdict, lastFinished, Problem::kVetoed, target);
        }
    }
    // The option is read again at the moment of the deletion, and the source deleted only
    // if it is still the file that was split, as long and as old as it was at the start.
    if (flushed) {
        if (!KeepGoing()) {
            reader.Close();
            return PostStopped(lastFinished);
        }
        platform::FileStamp now;
        if (m_bDeleteSource) {
            if (!sized) {
                m_report.notDeleted = source;
                m_report.notDeletedReason = "not a file on a disk";
            } else if (!reader.Stamp(&now) || !now.Unchanged(start)) {
                reader.Close();
                return Fail(JOB_SOURCE_ERROR, lastFinished, Problem::kChanged, source);
            } else if (!reader.RemoveOpened(source, now)) {
                m_report.notDeleted = source;
                m_report.notDeletedReason = platform::LastSystemError();
            }
        }
    }
    // Closing a file that was only read loses nothing, so its result does not matter.
    reader.Close();
    // No result while the user is being asked whether to stop.
    m_hold.Pass();
    Post(WM_JOB_DONE, JOB_OK, lastFinished);
}
