// The split job: see split_run.h.
#include "engine/split_run.h"

#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/block_copy.h"
#include "engine/folder_flush.h"
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
Problem MakeFirstPieceAt(const std::string& target,
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
    SplitRun(*this).Run();
}

SplitRun::SplitRun(CJobController& job)
    : m_job(job),
      m_observer(job.m_pJobObserver),
      m_source(job.m_strSource),
      m_target(job.m_strTarget),
      // Every read takes a whole block and a piece ends with the block that fills it, so a
      // size between multiples of the block gives pieces of the next multiple.
      m_pieceSize((std::uint64_t{job.m_nPieceSize} + kBlockSize - 1) / kBlockSize * kBlockSize),
      m_reader(platform::kFileBufferSize),
      m_piece(platform::kFileBufferSize) {}

void SplitRun::Run() {
    if (!OpenSource() || !CheckNames()) {
        return;
    }
    m_grown = CreateFolderChain(m_target);
    AppendSeparator(&m_target);
    m_job.m_nBytesExpected = m_sized ? m_start.length : CJobController::kUnknownLength;
    m_job.Post(WM_JOB_RANGE,
               m_sized ? static_cast<std::uintptr_t>(m_start.length / m_job.m_nPieceSize + 1) : 0,
               1);
    if (!MakeFirstPiece() || !CopyPieces() || !FlushPieces() || !FinishObserver() ||
        !DeleteSource()) {
        return;
    }
    // Closing a file that was only read loses nothing, so its result does not matter.
    m_reader.Close();
    // No result while the user is being asked whether to stop.
    m_job.m_hold.Pass();
    m_job.Post(WM_JOB_DONE, JOB_OK, m_lastFinished);
}

bool SplitRun::OpenSource() {
    if (!m_reader.Open(m_source, platform::File::Access::kReadDeletable) ||
        !m_reader.Stamp(&m_start)) {
        return Fail(JOB_SOURCE_ERROR, Problem::kUnreadable, m_source, platform::LastSystemError());
    }
    m_fileName = m_reader.FileName();
    // A file on a disk is split as long as it was at the start, so that bytes added while it
    // is read land in no piece and its deletion can tell (DeleteSource). A pipe is read to
    // its end.
    m_sized = m_start.regular;
    m_count = m_sized ? m_start.length / m_pieceSize + 1 : 0;
    m_remaining = m_start.length;
    if (m_count > static_cast<std::uint64_t>(INT_MAX)) {
        return Fail(JOB_TARGET_ERROR, Problem::kTooManyPieces, m_source);
    }
    return true;
}

bool SplitRun::CheckNames() {
    const std::string longest =
        PieceName(m_sized ? static_cast<int>(m_count) : INT_MAX, m_fileName);
    if (!platform::NameFits(m_target, longest)) {
        const std::string reason = platform::LastSystemError();
        std::string path = m_target;
        AppendSeparator(&path);
        return Fail(JOB_TARGET_ERROR, Problem::kNameTooLong, path + longest, reason);
    }
    return true;
}

// The first piece is claimed before any other program can see it and until the job ends, so
// that a join finds a split at work, and a second split of that name into this folder at
// once leaves these pieces alone. An earlier piece 1 is claimed first, and replaced.
bool SplitRun::MakeFirstPiece() {
    const std::string firstPath = PiecePath(1);
    platform::FileClaim earlier;
    const platform::FileClaim::Outcome claimed = earlier.Claim(firstPath);
    if (claimed == platform::FileClaim::Outcome::kTaken) {
        return Fail(JOB_TARGET_ERROR, Problem::kInUse, firstPath);
    }
    if (claimed == platform::FileClaim::Outcome::kFailed && !platform::LastErrorIsNotFound()) {
        return Fail(JOB_TARGET_ERROR, Problem::kUnwritable, firstPath, platform::LastSystemError());
    }
    std::string failedPath;
    std::string reason;
    const Problem made =
        MakeFirstPieceAt(m_target, firstPath, claimed == platform::FileClaim::Outcome::kClaimed,
                         &m_piece, &m_claim, &failedPath, &reason);
    if (made != Problem::kNone) {
        return Fail(JOB_TARGET_ERROR, made, failedPath, reason);
    }
    earlier.Release();
    m_job.AtPoint(CJobController::JobPoint::kSplitFirstVisible);
    return true;
}

bool SplitRun::CopyPieces() {
    for (int number = 1;; ++number) {
        bool last = false;
        if (!CopyPiece(number, &last)) {
            return false;
        }
        if (last) {
            return true;
        }
    }
}

bool SplitRun::CopyPiece(int number, bool* last) {
    const std::string piecePath = PiecePath(number);
    if (number > 1 && !m_piece.Create(piecePath, platform::File::Access::kCreateWrite)) {
        return Fail(JOB_TARGET_ERROR, Problem::kUnwritable, piecePath, platform::LastSystemError());
    }
    const std::uint64_t limit = m_sized && m_remaining < m_pieceSize ? m_remaining : m_pieceSize;
    std::uint64_t copied = 0;
    char block[kBlockSize];
    const CopyEnd end = CopyBlocks(m_reader, m_piece, limit, block, m_job.Hooks(), &copied);
    if (end == CopyEnd::kStopped) {
        // The piece keeps what was written to it; a stop is not a failure to report.
        return Stopped();
    }
    if (end == CopyEnd::kWriteFailed) {
        return Fail(JOB_TARGET_ERROR, Problem::kUnwritable, piecePath, platform::LastSystemError());
    }
    if (end == CopyEnd::kReadFailed || (m_sized && copied < limit)) {
        // A file that ends before its length at the start was cut while it was read.
        const bool unreadable = end == CopyEnd::kReadFailed;
        return Fail(JOB_SOURCE_ERROR, unreadable ? Problem::kUnreadable : Problem::kChanged,
                    m_source, unreadable ? platform::LastSystemError() : std::string());
    }
    // Pieces that will be flushed before the source goes start on their way to the disk as
    // each is finished, so that the flush at the end finds most of them written. Whether the
    // source goes is decided only at the end; this just follows the box.
    if ((m_job.m_bDeleteSource && !m_piece.StartFlush()) || !m_piece.Close()) {
        return Fail(JOB_TARGET_ERROR, Problem::kUnwritable, piecePath, platform::LastSystemError());
    }
    if (m_observer != nullptr) {
        const JobResult verdict = m_observer->PieceDone(number);
        if (verdict != JOB_OK) {
            return Fail(verdict, Problem::kVetoed, piecePath);
        }
    }
    m_lastFinished = number;
    m_job.Post(WM_JOB_PROGRESS, 0, number);
    m_remaining -= m_sized ? copied : 0;
    *last = m_sized ? copied < m_pieceSize : end == CopyEnd::kSourceEnd;
    return true;
}

// Each flush is a point where an abort or a close is honoured, however long the disk takes.
bool SplitRun::FlushPieces() {
    if (!m_job.m_bDeleteSource) {
        return true;
    }
    for (int number = 1; number <= m_lastFinished; ++number) {
        if (!m_job.KeepGoing()) {
            return Stopped();
        }
        const std::string piecePath = PiecePath(number);
        platform::File written;
        if (!written.Open(piecePath, platform::File::Access::kWriteExisting) || !written.Flush() ||
            !written.Close()) {
            return Fail(JOB_TARGET_ERROR, Problem::kUnwritable, piecePath,
                        platform::LastSystemError());
        }
    }
    if (!FlushFolders(m_target, m_grown)) {
        return Fail(JOB_TARGET_ERROR, Problem::kUnwritable, m_target, platform::LastSystemError());
    }
    m_flushed = true;
    return true;
}

bool SplitRun::FinishObserver() {
    if (m_observer != nullptr) {
        const JobResult verdict = m_observer->Finished(m_target, m_fileName, m_lastFinished);
        if (verdict != JOB_OK) {
            return Fail(verdict, Problem::kVetoed, m_target);
        }
    }
    return true;
}

// The source is deleted only if it is still the file that was split, as long and as old as
// it was at the start.
bool SplitRun::DeleteSource() {
    if (!m_flushed) {
        return true;
    }
    if (!m_job.KeepGoing()) {
        return Stopped();
    }
    if (!m_job.m_bDeleteSource) {
        return true;
    }
    JobReport& report = m_job.m_report;
    platform::FileStamp now;
    if (!m_sized) {
        report.notDeleted = m_source;
        report.notDeletedReason = "not a file on a disk";
    } else if (!m_reader.Stamp(&now) || !now.Unchanged(m_start)) {
        return Fail(JOB_SOURCE_ERROR, Problem::kChanged, m_source);
    } else if (!m_reader.RemoveOpened(m_source, now)) {
        report.notDeleted = m_source;
        report.notDeletedReason = platform::LastSystemError();
    }
    return true;
}

bool SplitRun::Fail(JobResult result,
                    Problem problem,
                    const std::string& path,
                    const std::string& reason) {
    m_piece.Close();
    m_reader.Close();
    m_job.Fail(result, m_lastFinished, problem, path, reason);
    return false;
}

bool SplitRun::Stopped() {
    m_piece.Close();
    m_reader.Close();
    m_job.PostStopped(m_lastFinished);
    return false;
}

std::string SplitRun::PiecePath(int number) const {
    return m_target + PieceName(number, m_fileName);
}
