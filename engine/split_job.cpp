// The split job: one source file cut into numbered pieces of the piece size.
#include <climits>
#include <cstdint>
#include <random>
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

namespace {

// A name of the split's own for piece 1 until it is claimed: hidden, short whatever the
// file's name, and new each time, so that no other run has it.
std::string HiddenFirstPieceName() {
    std::random_device entropy;
    std::mt19937_64 random((std::uint64_t{entropy()} << 32) ^ entropy());
    static const char kDigits[] = "0123456789abcdef";
    std::string name = ".secanto-";
    for (std::uint64_t bits = random(); name.size() < 21; bits >>= 4) {
        name.push_back(kDigits[bits & 15]);
    }
    return name + ".piece";
}

// Makes piece 1 at `firstPath`, empty, open in `piece` and claimed by `claim` before it has
// that name: made under a hidden name, claimed and flushed there, then renamed. Where
// `replacing`, the earlier piece 1 (held by the caller) is deleted first; a file that takes
// the name meanwhile is another split's, and left to it. kNone, or the problem, with the
// path at fault and the system's reason.
Problem MakeFirstPiece(const std::string& target,
                       const std::string& firstPath,
                       bool replacing,
                       platform::BufferedWriter* piece,
                       platform::FileClaim* claim,
                       std::string* failedPath,
                       std::string* reason) {
    const auto failed = [reason](Problem problem, const std::string& remove) {
        *reason = problem == Problem::kInUse ? std::string() : platform::LastSystemError();
        if (!remove.empty()) {
            platform::RemoveFile(remove);
        }
        return problem;
    };
    std::string hidden;
    for (int attempt = 0; attempt < 100; ++attempt) {
        hidden = target + HiddenFirstPieceName();
        if (piece->Create(hidden, platform::File::Access::kCreateHidden) ||
            !platform::LastErrorIsAlreadyThere()) {
            break;
        }
    }
    *failedPath = hidden;
    platform::FileStamp made;
    // Flushed though empty, so that its name never stands for bytes not on the disk.
    if (!piece->IsOpen()) {
        return failed(Problem::kUnwritable, std::string());
    }
    if (!piece->Flush() || !piece->Stamp(&made) || !piece->Close()) {
        const Problem problem = failed(Problem::kUnwritable, std::string());
        piece->Close();
        platform::RemoveFile(hidden);
        return problem;
    }
    if (claim->Claim(hidden) != platform::FileClaim::Outcome::kClaimed ||
        !platform::Unhide(hidden)) {
        return failed(Problem::kUnwritable, hidden);
    }
    *failedPath = firstPath;
    // The earlier piece 1 goes first (Windows renames over no open file, and the caller's
    // claim holds it open); a file that takes the name meanwhile is another split's.
    if (replacing && !platform::RemoveFile(firstPath) && platform::PathExists(firstPath)) {
        return failed(Problem::kUnwritable, hidden);
    }
    if (!platform::RenameToNewName(hidden, firstPath)) {
        const bool taken = platform::LastErrorIsAlreadyThere();
        return failed(taken ? Problem::kInUse : Problem::kUnwritable, hidden);
    }
    // Opened again by its name: it must be the file claimed, which no one else can write.
    platform::FileStamp opened;
    if (!piece->Continue(firstPath, 0) || !piece->Stamp(&opened)) {
        const Problem problem = failed(Problem::kUnwritable, std::string());
        piece->Close();
        return problem;
    }
    if (!opened.SameFile(made)) {
        piece->Close();
        return failed(Problem::kInUse, std::string());
    }
    return Problem::kNone;
}

}  // namespace

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
    // The first piece is claimed before any other program can see it and until the job ends,
    // so that a join finds a split at work, and a second split of that name into this folder
    // at once leaves these pieces alone. An earlier piece 1 is claimed first, and replaced.
    const std::string firstPath = target + PieceName(1, fileName);
    platform::FileClaim earlier;
    const platform::FileClaim::Outcome claimed = earlier.Claim(firstPath);
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
    platform::FileClaim claim;
    std::string failedPath;
    std::string reason;
    const Problem made =
        MakeFirstPiece(target, firstPath, claimed == platform::FileClaim::Outcome::kClaimed, &piece,
                       &claim, &failedPath, &reason);
    if (made != Problem::kNone) {
        reader.Close();
        return Fail(JOB_TARGET_ERROR, 0, made, failedPath, reason);
    }
    earlier.Release();
    AtPoint(JobPoint::kSplitFirstVisible);

    char block[kBlockSize];
    int lastFinished = 0;
    std::uint64_t remaining = start.length;
    for (int number = 1;; ++number) {
        const std::string piecePath = target + PieceName(number, fileName);
        if (number > 1 && !piece.Create(piecePath, platform::File::Access::kCreateWrite)) {
            const std::string reason = platform::LastSystemError();
            piece.Close();
            reader.Close();
            return Fail(JOB_TARGET_ERROR, lastFinished, Problem::kUnwritable, piecePath, reason);
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
