#include "engine/join_run.h"

#include <algorithm>
#include <cstring>

#include "engine/continue_probe.h"
#include "engine/folder_flush.h"
#include "engine/job_observer.h"
#include "engine/job_paths.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace {

// The observer's verdict on a piece is asked only once this many more are copied, so that it
// judges pieces while the job reads the next ones.
constexpr std::size_t kJudgedLater = 4;

}  // namespace

JoinRun::JoinRun(CJobController& job)
    : m_job(job),
      m_options(job.m_joinOptions),
      m_observer(job.m_pJobObserver),
      m_source(job.m_strSource),
      m_target(job.m_strTarget),
      m_targetFolder(job.m_strTarget),
      m_piece(platform::kFileBufferSize),
      m_output(platform::kFileBufferSize),
      m_batch(
          job.m_clock,
          [this] { return m_job.KeepGoing(); },
          [this](int number) { Report(number); }) {
    AppendSeparator(&m_source);
    AppendSeparator(&m_targetFolder);
}

void JoinRun::Run() {
    if (!ChooseName() || !ClaimPieces() || !PrepareFolder() || !ListSet() || !FindPartialOutput() ||
        !MeasurePieces() || !CheckKept()) {
        return;
    }
    if (m_whole) {
        FinishWhole();
    } else if (OpenOutput() && CopyPieces()) {
        Finish();
    }
}

std::string JoinRun::PiecePath(int number) const {
    return m_source + PieceName(number, m_outputName);
}

bool JoinRun::Fail(JobResult result,
                   Problem problem,
                   const std::string& path,
                   const std::string& reason) {
    if (m_output.IsOpen()) {
        return End(false, result, problem, path, reason);
    }
    m_job.Fail(result, m_lastFinished, problem, path, reason);
    return false;
}

bool JoinRun::Stop() {
    if (m_output.IsOpen()) {
        return End(true, JOB_ABORTED, Problem::kNone, std::string(), std::string());
    }
    m_job.PostStopped(m_lastFinished);
    return false;
}

// The file whose pieces are joined: the one named, or the one of the piece listed last.
bool JoinRun::ChooseName() {
    const std::optional<std::string>& named = m_options.fileName;
    m_outputName = named.value_or(std::string());
    if (!named) {
        m_listing = ListPieces(m_source);
        if (!m_listing.complete || m_listing.matches == 0 ||
            !NameAfterMarker(m_listing.lastMatch, &m_outputName)) {
            return Fail(JOB_SOURCE_ERROR, Problem::kNoPieces, m_job.m_strSource, m_listing.reason);
        }
    }
    // No file can have these names; the output would be the target folder itself.
    if (m_outputName.empty() || m_outputName == "." || m_outputName == "..") {
        return Fail(JOB_TARGET_ERROR, Problem::kBadName,
                    m_source + (named ? PieceName(1, m_outputName) : m_listing.lastMatch));
    }
    m_outputPath = m_targetFolder + m_outputName;
    m_writtenPath = m_options.staged ? m_targetFolder + StagingName(m_outputName) : m_outputPath;
    return true;
}

// A split still writing these pieces holds the first one until it ends: a set listed now
// could look whole while it is not. Joins only share it.
bool JoinRun::ClaimPieces() {
    switch (m_reading.Claim(PiecePath(1), platform::FileClaim::Use::kRead)) {
        case platform::FileClaim::Outcome::kTaken:
            return Fail(JOB_SOURCE_ERROR, Problem::kInUse, PiecePath(1));
        case platform::FileClaim::Outcome::kFailed:
            if (platform::LastErrorIsNotFound()) {
                break;  // no folder there: told when it is listed
            }
            return Fail(JOB_SOURCE_ERROR, Problem::kUnreadable, PiecePath(1),
                        platform::LastSystemError());
        case platform::FileClaim::Outcome::kClaimed:
        case platform::FileClaim::Outcome::kGone:
            break;
    }
    return true;
}

// The work claims the pieces itself, as a repair does (for itself alone while it rebuilds
// them), so the join's claim is given up meanwhile and taken again after: pieces it rebuilt
// took their names anew, the first among them perhaps.
bool JoinRun::PrepareFolder() {
    JoinFolderWork* const work = m_options.folderWork;
    if (work == nullptr) {
        return true;
    }
    m_reading.Release();
    JoinFolderWork::Job job;
    job.keepGoing = [this] { return m_job.KeepGoing(); };
    job.rebuilding = [this](int pieces, int thousandths) {
        m_job.Post(WM_JOB_REBUILD, static_cast<std::uintptr_t>(pieces), thousandths);
    };
    const JobResult result = work->BeforeListing(m_source, m_outputName, job);
    if (result == JOB_ABORTED) {
        return Stop();
    }
    if (result != JOB_OK) {
        return Fail(result, Problem::kVetoed, m_source);
    }
    return ClaimPieces();
}

// Refuses a set with a gap or without piece 1 before anything is created, rather than join a
// short file and call it a success. A listing cut short by an error could hide pieces, so it
// is refused too.
bool JoinRun::ListSet() {
    m_listing = ListPieces(m_source);
    if (!m_listing.complete || m_listing.matches == 0) {
        return Fail(JOB_SOURCE_ERROR, Problem::kNoPieces, m_job.m_strSource, m_listing.reason);
    }
    m_numbers = PieceNumbers(m_listing.fileNames, m_outputName);
    m_job.AtPoint(CJobController::JobPoint::kJoinListed);
    return true;
}

// A staged output already there holds the pieces of a join that stopped: the join goes on
// from it, or leaves it alone; only one that holds no piece deleted is replaced. One that
// another join is writing now is left to it.
bool JoinRun::FindPartialOutput() {
    if (m_options.continueOutput || m_options.staged) {
        m_claimed = m_claim.Claim(m_writtenPath);
        if (m_claimed == platform::FileClaim::Outcome::kTaken) {
            return Fail(JOB_TARGET_ERROR, Problem::kInUse, m_writtenPath);
        }
        if (m_claimed == platform::FileClaim::Outcome::kFailed &&
            !platform::LastErrorIsNotFound()) {
            return Fail(JOB_TARGET_ERROR, Problem::kUnreadable, m_writtenPath,
                        platform::LastSystemError());
        }
        // One that cannot be looked at is never taken for one that is not there.
        if (m_claimed == platform::FileClaim::Outcome::kClaimed &&
            platform::StampOf(m_writtenPath, &m_partial)) {
            m_partialThere = m_partial.regular;
        } else if (!platform::LastErrorIsNotFound()) {
            return Fail(JOB_TARGET_ERROR, Problem::kUnreadable, m_writtenPath,
                        platform::LastSystemError());
        }
    }
    if (m_options.continueOutput && !m_partialThere) {
        return Fail(JOB_SOURCE_ERROR, Problem::kPartialMisfit, m_writtenPath,
                    platform::LastSystemError());
    }
    m_goOn = m_options.continueOutput || m_partialThere;
    const int missing = FirstMissingPiece(m_numbers);
    if (m_goOn || missing == 0) {
        return true;
    }
    // A staged join, which replaces nothing it could go on from, says when the file of the
    // output's name holds the pieces missing; when it holds the whole file, it is the one
    // such a join named before it was stopped, and only the pieces left go.
    ContinueProbe could;
    if (m_options.staged && ProbeContinue(m_source, m_job.m_strTarget, false, &could,
                                          m_options.fileName) == ContinueFit::kFits) {
        if (could.whole) {
            return FindWholeOutput();
        }
        m_job.Fail(JOB_SOURCE_ERROR, 0, Problem::kCanContinue, m_outputPath, std::string(),
                   could.plan.kept);
        return false;
    }
    m_job.Fail(JOB_SOURCE_ERROR, 0, Problem::kMissingPiece, PiecePath(missing), std::string(),
               missing);
    return false;
}

// The output is read as a partial output is, under a claim of its own, and never written.
bool JoinRun::FindWholeOutput() {
    m_claim.Release();
    m_writtenPath = m_outputPath;
    m_claimed = m_claim.Claim(m_writtenPath);
    if (m_claimed == platform::FileClaim::Outcome::kTaken) {
        return Fail(JOB_TARGET_ERROR, Problem::kInUse, m_writtenPath);
    }
    if (m_claimed != platform::FileClaim::Outcome::kClaimed ||
        !platform::StampOf(m_writtenPath, &m_partial)) {
        return Fail(JOB_TARGET_ERROR, Problem::kUnreadable, m_writtenPath,
                    platform::LastSystemError());
    }
    m_goOn = true;
    m_whole = true;
    return true;
}

// Every piece there must open, and the pieces must fit together, before the output is
// created or changed, so that a join that cannot give back the original (a piece held by
// another program, stale pieces of an earlier split, a piece cut short) leaves a file of the
// output's name and the pieces alone.
bool JoinRun::MeasurePieces() {
    std::string failedPath;
    std::string reason;
    if (!PieceLengths(m_source, m_outputName, m_numbers, &m_present, &failedPath, &reason)) {
        return Fail(JOB_SOURCE_ERROR, Problem::kUnreadable, failedPath, reason);
    }
    m_plan.count = m_numbers.empty() ? 0 : m_numbers.back();
    if (m_goOn) {
        std::string why;
        const auto endsWithLast = [&](std::uint64_t pieceLength) {
            return HoldsAt(m_writtenPath,
                           static_cast<std::uint64_t>(m_plan.count - 1) * pieceLength,
                           PiecePath(m_plan.count));
        };
        // One that ends with the pieces left holds them already: going on from it cuts them
        // off and appends them again, and one found whole keeps them.
        const bool whole =
            CheckWhole(m_numbers, m_present, m_partial.length, endsWithLast, &m_plan);
        const ContinueFit fit = whole ? ContinueFit::kFits
                                      : CheckContinue(m_numbers, m_present, m_partial.length,
                                                      endsWithLast, &m_plan, &why);
        if (m_whole && !whole) {
            return Fail(JOB_SOURCE_ERROR, Problem::kChanged, m_writtenPath);
        }
        if (fit == ContinueFit::kNothingMissing && !m_options.continueOutput &&
            HoldsPiecesFromStart(m_writtenPath, m_source, m_outputName, m_plan.count)) {
            m_goOn = false;  // every piece is still there and holds what it does: replaced
        } else if (fit != ContinueFit::kFits) {
            return Fail(JOB_SOURCE_ERROR, Problem::kPartialMisfit, m_writtenPath,
                        fit == ContinueFit::kNothingMissing ? "no piece it holds is missing" : why);
        }
    }
    if (!m_goOn) {
        if (const int misfit = FirstMisfit(m_present)) {
            m_job.Fail(JOB_SOURCE_ERROR, 0, Problem::kMisfit, PiecePath(misfit), std::string(),
                       misfit);
            return false;
        }
    }
    m_missing = m_plan.kept;
    if (m_whole) {
        m_plan.kept = m_plan.count;  // every piece is read back from the output
    }
    m_keptBytes = static_cast<std::uint64_t>(m_plan.kept) * m_plan.pieceLength;
    m_lengths.assign(static_cast<std::size_t>(m_plan.count), m_plan.pieceLength);
    for (std::size_t i = 0; i < m_numbers.size(); ++i) {
        m_lengths[static_cast<std::size_t>(m_numbers[i] - 1)] = m_present[i];
        m_toCopy += m_numbers[i] > m_plan.kept ? m_present[i] : 0;
    }
    if (m_observer != nullptr) {
        const JobResult verdict = m_observer->JoinStarts(m_outputName, m_lengths);
        if (verdict != JOB_OK) {
            return Fail(verdict, Problem::kVetoed, m_source);
        }
    }
    return true;
}

// Before anything is changed, the pieces the partial output holds are read from it as if
// they were joined now: the observer checks them, and each still in the folder must be the
// same bytes, or the pieces are not this output's. Nothing is changed yet, so a verdict asked
// late ends the job as one asked at once.
bool JoinRun::CheckKept() {
    if (!m_goOn) {
        return true;
    }
    const bool watched = m_observer != nullptr && m_observer->WatchesBytes();
    const bool keptThere = m_numbers.front() <= m_plan.kept;
    platform::BufferedReader held(platform::kFileBufferSize);
    if ((watched || keptThere) && !held.Open(m_writtenPath)) {
        return Fail(JOB_SOURCE_ERROR, Problem::kUnreadable, m_writtenPath,
                    platform::LastSystemError());
    }
    std::uint64_t at = 0;  // where `held` reads
    for (int number = 1; number <= m_plan.kept; ++number) {
        if (!CheckKeptPiece(number, held, &at)) {
            return false;
        }
    }
    held.Close();
    return JudgeKept(0);
}

bool JoinRun::CheckKeptPiece(int number, platform::BufferedReader& held, std::uint64_t* at) {
    const bool watched = m_observer != nullptr && m_observer->WatchesBytes();
    const bool there = std::binary_search(m_numbers.begin(), m_numbers.end(), number);
    if (there && !m_piece.Open(PiecePath(number))) {
        return Fail(JOB_SOURCE_ERROR, Problem::kUnreadable, PiecePath(number),
                    platform::LastSystemError());
    }
    // Bytes nobody compares or watches are not read at all.
    const std::uint64_t start = static_cast<std::uint64_t>(number - 1) * m_plan.pieceLength;
    if ((watched || there) && *at != start && !held.SkipTo(start)) {
        m_piece.Close();
        return Fail(JOB_SOURCE_ERROR, Problem::kUnreadable, m_writtenPath,
                    platform::LastSystemError());
    }
    char other[kBlockSize];
    const std::uint64_t length = m_lengths[static_cast<std::size_t>(number - 1)];
    for (std::uint64_t done = 0; (watched || there) && done < length;) {
        if (!m_job.KeepGoing()) {
            m_piece.Close();
            return Stop();
        }
        // Read where the observer takes the bytes from without copying them, if it can.
        std::size_t room = kBlockSize;
        char* const lent = watched ? m_observer->ReadBuffer(&room) : nullptr;
        char* const into = lent != nullptr ? lent : m_block;
        room = lent != nullptr ? room : kBlockSize;
        const std::size_t step =
            length - done < room ? static_cast<std::size_t>(length - done) : room;
        if (!held.ReadExactly(into, step)) {
            m_piece.Close();
            return Fail(JOB_SOURCE_ERROR, Problem::kUnreadable, m_writtenPath,
                        platform::LastSystemError());
        }
        for (std::size_t same = 0; there && same < step;) {
            const std::size_t part = std::min(step - same, kBlockSize);
            if (!m_piece.ReadExactly(other, part) || std::memcmp(into + same, other, part) != 0) {
                m_piece.Close();
                return Fail(JOB_SOURCE_ERROR, Problem::kPartialMisfit, m_writtenPath,
                            "its bytes differ from piece " + std::to_string(number) +
                                ", which is still there");
            }
            same += part;
        }
        if (watched) {
            m_observer->PieceBytes(into, step);
        }
        done += step;
        *at = start + done;
    }
    m_piece.Close();
    if (m_observer == nullptr) {
        return true;
    }
    if (m_observer->PieceDone(number) != JOB_OK) {
        return Fail(JOB_SOURCE_ERROR, Problem::kVetoed, PiecePath(number));
    }
    m_unjudgedKept.push_back(number);
    return JudgeKept(kJudgedLater);
}

bool JoinRun::JudgeKept(std::size_t keep) {
    for (; m_unjudgedKept.size() > keep; m_unjudgedKept.pop_front()) {
        if (m_observer->PieceVerdict(m_unjudgedKept.front()) != JOB_OK) {
            return Fail(JOB_SOURCE_ERROR, Problem::kVetoed, PiecePath(m_unjudgedKept.front()));
        }
    }
    return true;
}

// A partial output is cut back, or emptied when it is replaced, as the file claimed. A staged
// one is made anew only where none is, and claimed at once: a join that made one of that name
// meanwhile, or claimed the new one first, is left to write it.
bool JoinRun::OpenOutput() {
    // The folders are made from the target as given, as the split makes them, so that a name
    // the system would trim (blanks) is refused the same way by both jobs.
    m_grown = CreateFolderChain(m_target);
    const bool opened =
        m_goOn || m_partialThere
            ? m_output.Continue(m_writtenPath, m_goOn ? m_keptBytes : 0)
            : m_output.Create(m_writtenPath, m_options.staged
                                                 ? platform::File::Access::kCreateHidden
                                                 : platform::File::Access::kCreateWrite);
    if (!opened) {
        const bool taken = m_options.staged &&
                           m_claimed != platform::FileClaim::Outcome::kClaimed &&
                           platform::LastErrorIsAlreadyThere();
        return Fail(JOB_TARGET_ERROR, taken ? Problem::kInUse : Problem::kUnwritable, m_writtenPath,
                    taken ? std::string() : platform::LastSystemError());
    }
    if (m_options.staged && !m_partialThere &&
        m_claim.Claim(m_writtenPath) != platform::FileClaim::Outcome::kClaimed) {
        m_output.Close();
        return Fail(JOB_TARGET_ERROR, Problem::kInUse, m_writtenPath);
    }
    m_job.m_nBytesExpected = m_toCopy;
    m_job.Post(WM_JOB_RANGE, static_cast<std::uintptr_t>(m_goOn ? m_plan.count : m_listing.matches),
               0);
    m_lastFinished = m_plan.kept;
    m_written = m_keptBytes;
    if (m_plan.kept > 0) {
        m_batch.HoldsDeleted(m_keptBytes);
    }
    return true;
}

bool JoinRun::CopyPieces() {
    for (int number = m_plan.kept + 1; number <= m_plan.count; ++number) {
        if (!CopyPiece(number)) {
            return false;
        }
    }
    return JudgeWaiting(0) && Settle();
}

bool JoinRun::CopyPiece(int number) {
    const std::string path = PiecePath(number);
    if (!m_piece.Open(path)) {
        // A piece checked above has gone missing since.
        return FailAfterWaiting(JOB_SOURCE_ERROR, Problem::kUnreadable, path,
                                platform::LastSystemError());
    }
    // It must still hold exactly the bytes it held when the set was checked.
    const std::uint64_t length = m_lengths[static_cast<std::size_t>(number - 1)];
    std::uint64_t copied = 0;
    switch (CopyBlocks(m_piece, m_output, length, m_block, m_job.Hooks(), &copied)) {
        case CopyEnd::kStopped:
            return FailAfterWaiting(JOB_ABORTED, Problem::kNone, std::string(), std::string());
        case CopyEnd::kReadFailed:
            return FailAfterWaiting(JOB_SOURCE_ERROR, Problem::kUnreadable, path,
                                    platform::LastSystemError());
        case CopyEnd::kWriteFailed:
            return FailAfterWaiting(JOB_TARGET_ERROR, Problem::kUnwritable, m_writtenPath,
                                    platform::LastSystemError());
        case CopyEnd::kSourceEnd:
        case CopyEnd::kLimitReached:
            break;
    }
    char probe;
    const std::int64_t more = m_piece.Read(&probe, 1);
    if (more < 0) {
        return FailAfterWaiting(JOB_SOURCE_ERROR, Problem::kUnreadable, path,
                                platform::LastSystemError());
    }
    if (copied != length || more != 0) {
        return FailAfterWaiting(JOB_SOURCE_ERROR, Problem::kChanged, path, std::string());
    }
    m_piece.Close();
    m_written += length;
    if (m_observer != nullptr) {
        const JobResult verdict = m_observer->PieceDone(number);
        if (verdict != JOB_OK) {
            return FailAfterWaiting(verdict, Problem::kVetoed, path, std::string());
        }
    }
    // A piece is data until its bytes are safely in the output; a staged output is flushed
    // before it is named. Its bytes start on their way now, so that the flush finds most of
    // them written already.
    if ((m_job.m_bDeleteSource || m_options.staged) && !m_output.StartFlush()) {
        return FailAfterWaiting(JOB_TARGET_ERROR, Problem::kUnwritable, m_writtenPath,
                                platform::LastSystemError());
    }
    m_waiting.push_back({number, path, length, m_written});
    return JudgeWaiting(kJudgedLater);
}

bool JoinRun::JudgeWaiting(std::size_t keep) {
    while (m_waiting.size() > keep) {
        const Joined next = m_waiting.front();
        m_waiting.pop_front();
        if (!Place(next)) {
            return false;
        }
    }
    return true;
}

bool JoinRun::Place(const Joined& piece) {
    if (m_observer != nullptr) {
        const JobResult verdict = m_observer->PieceVerdict(piece.number);
        if (verdict != JOB_OK) {
            return End(false, verdict, Problem::kVetoed, piece.path, std::string());
        }
    }
    m_batch.Passed(piece.end);
    const bool deleting = m_job.m_bDeleteSource && !m_batch.Stopped();
    // The last two pieces go only once the output is whole: until then, the pieces left
    // always tell how long a piece is, which a later join that goes on needs.
    if (piece.number >= m_plan.count - 1) {
        m_lastPieces.push_back({piece.number, piece.path, deleting});
        return true;
    }
    if (deleting) {
        m_batch.Add(piece.number, piece.path, piece.length, piece.end);
        return !m_batch.Due() || Settle();
    }
    // Pieces still waiting for deletion are reported first, in number order.
    if (!Settle()) {
        return false;
    }
    m_batch.Drain();
    Report(piece.number);
    return true;
}

bool JoinRun::Settle() {
    if (m_batch.Empty()) {
        return true;
    }
    if (!m_job.m_bDeleteSource) {
        m_batch.Keep();
        return true;
    }
    if (!m_job.KeepGoing()) {
        return End(true, JOB_ABORTED, Problem::kNone, std::string(), std::string());
    }
    if (!m_output.Flush() || (!m_foldersFlushed && !FlushFolders(m_targetFolder, m_grown))) {
        return End(false, JOB_TARGET_ERROR, Problem::kUnwritable, m_writtenPath,
                   platform::LastSystemError());
    }
    m_foldersFlushed = true;
    if (!m_output.IsAt(m_writtenPath)) {
        return End(false, JOB_TARGET_ERROR, Problem::kOutputMoved, m_writtenPath,
                   platform::LastSystemError());
    }
    // Deleted beside the copy of the next pieces.
    m_batch.Hand();
    return true;
}

bool JoinRun::DeletingLast() const {
    return std::any_of(m_lastPieces.begin(), m_lastPieces.end(),
                       [](const LastPiece& last) { return last.deleting; });
}

// The output found whole and read back as the pieces it holds: checked as a whole, it keeps
// its name, and the pieces left go as the last pieces of a join go.
void JoinRun::FinishWhole() {
    m_job.m_nBytesExpected = 0;
    m_job.Post(WM_JOB_RANGE, static_cast<std::uintptr_t>(m_plan.count), 0);
    m_lastFinished = m_missing;
    if (m_observer != nullptr) {
        const JobResult verdict = m_observer->Finished(m_targetFolder, m_outputName, m_plan.count);
        if (verdict != JOB_OK) {
            m_job.Fail(verdict, m_lastFinished, Problem::kVetoed, m_outputPath, std::string());
            return;
        }
    }
    for (const int number : m_numbers) {
        if (number > m_missing) {
            m_lastPieces.push_back({number, PiecePath(number), m_job.m_bDeleteSource.load()});
        }
    }
    DeleteLastPieces(m_partial);
}

void JoinRun::Finish() {
    NoteNotDeleted();
    platform::FileStamp written;
    if (NameOutput(&written)) {
        DeleteLastPieces(written);
    }
}

// A staged output takes the output's name only once its bytes are durable and accepted, so
// that the name never holds a file that is not whole; so must one whose last pieces are to
// be deleted.
bool JoinRun::NameOutput(platform::FileStamp* written) {
    const bool deletingLast = DeletingLast();
    if (((m_options.staged || deletingLast) && !m_output.Flush()) || !m_output.Stamp(written) ||
        !m_output.Close()) {
        return End(false, JOB_TARGET_ERROR, Problem::kUnwritable, m_writtenPath,
                   platform::LastSystemError());
    }
    if (m_observer != nullptr) {
        const JobResult verdict = m_observer->Finished(m_targetFolder, m_outputName, m_plan.count);
        if (verdict != JOB_OK) {
            return End(false, verdict, Problem::kVetoed, m_outputPath, std::string());
        }
    }
    // The last point where an abort keeps the last pieces: from here the job only names its
    // output and deletes them, which takes no time worth stopping.
    if (deletingLast && !m_job.KeepGoing()) {
        return End(true, JOB_ABORTED, Problem::kNone, std::string(), std::string());
    }
    if (m_options.staged &&
        (!platform::Unhide(m_writtenPath) || !platform::RenameFile(m_writtenPath, m_outputPath))) {
        return End(false, JOB_TARGET_ERROR, Problem::kUnwritable, m_outputPath,
                   platform::LastSystemError());
    }
    // The file is whole under its name now; only its folder entry may not be durable.
    if ((m_options.staged || deletingLast) && !FlushFolders(m_targetFolder, m_grown)) {
        m_job.Fail(JOB_TARGET_ERROR, m_lastFinished, Problem::kNotDurable, m_outputPath,
                   platform::LastSystemError());
        return false;
    }
    return true;
}

// The last pieces, held back until now, go if the option still says so, and only while the
// output is still where it was written, as a batch goes; what describes the pieces goes just
// before them.
void JoinRun::DeleteLastPieces(const platform::FileStamp& written) {
    const bool stillDeleting = m_job.m_bDeleteSource;
    platform::FileStamp now;
    if (DeletingLast() && stillDeleting) {
        const bool there = platform::StampOf(m_outputPath, &now);
        if (!there || !now.SameFile(written) || now.length != written.length) {
            m_job.Fail(JOB_TARGET_ERROR, m_lastFinished, Problem::kOutputMoved, m_outputPath,
                       there ? std::string() : platform::LastSystemError());
            return;
        }
    }
    JobReport& report = m_job.m_report;
    const bool allGoing = std::all_of(m_lastPieces.begin(), m_lastPieces.end(),
                                      [](const LastPiece& last) { return last.deleting; });
    if (m_options.folderWork != nullptr && allGoing && stillDeleting && report.notDeleted.empty() &&
        !m_batch.Stopped()) {
        std::vector<int> numbers;
        for (const LastPiece& last : m_lastPieces) {
            numbers.push_back(last.number);
        }
        m_options.folderWork->BeforeLastPieces(m_source, m_outputName, numbers, &report.notDeleted,
                                               &report.notDeletedReason);
    }
    for (const LastPiece& last : m_lastPieces) {
        if (last.deleting && stillDeleting && report.notDeleted.empty() && !m_batch.Stopped() &&
            !platform::RemoveFile(last.path)) {
            report.notDeleted = last.path;
            report.notDeletedReason = platform::LastSystemError();
        }
        Report(last.number);
    }
    // No result while the user is being asked whether to stop.
    m_job.m_hold.Pass();
    m_job.Post(WM_JOB_DONE, JOB_OK, m_lastFinished);
}

bool JoinRun::FailAfterWaiting(JobResult result,
                               Problem problem,
                               const std::string& path,
                               const std::string& reason) {
    for (const Joined& next : m_waiting) {
        if (m_job.m_bDeleteSource && !m_batch.Stopped()) {
            // Joined and waiting like the pieces of a batch, which an early end cuts the
            // output back past.
            m_batch.Add(next.number, next.path, next.length, next.end);
            continue;
        }
        if (!m_batch.Empty() || next.number >= m_plan.count - 1) {
            break;
        }
        if (m_observer != nullptr) {
            const JobResult verdict = m_observer->PieceVerdict(next.number);
            if (verdict != JOB_OK) {
                return End(false, verdict, Problem::kVetoed, next.path, std::string());
            }
        }
        m_batch.Passed(next.end);
        m_batch.Drain();
        Report(next.number);
    }
    m_waiting.clear();
    return End(result == JOB_ABORTED && problem == Problem::kNone, result, problem, path, reason);
}

// Once pieces have been queued for deletion the output is cut back to the end of the last
// piece deleted (DeletionBatch), so that it keeps every deleted piece's bytes and, while the
// pieces deleted are the first ones, it and the pieces left give the original exactly.
// (Closed, it holds every piece already.) After a check that failed, the output keeps no byte
// of a piece that failed or was not checked: it is cut back to the end of the last piece that
// passed, never below the pieces deleted; when the whole file failed, to those alone. A staged
// output goes, unless it holds the only copy of a piece deleted.
bool JoinRun::End(bool stopped,
                  JobResult result,
                  Problem problem,
                  const std::string& path,
                  const std::string& reason) {
    m_piece.Close();
    NoteNotDeleted();
    const bool checkFailed = problem == Problem::kVetoed && !m_options.staged;
    const std::uint64_t keep =
        checkFailed ? m_batch.KeepAfterFailedCheck(path != m_outputPath) : m_batch.KeepEnd();
    bool cut = true;
    if (m_output.IsOpen()) {
        // The pieces that passed may still be in the buffer, which the cut drops.
        cut = !(m_batch.Engaged() || checkFailed) ||
              ((!checkFailed || m_output.StartFlush()) && m_output.Truncate(keep));
    } else if (checkFailed) {
        // Closed before the whole file was checked: opened again to be cut.
        cut = m_output.Continue(m_writtenPath, keep);
    }
    const std::string cutReason = cut ? std::string() : platform::LastSystemError();
    m_output.Close();
    if (m_options.staged && !m_batch.DeletedAny()) {
        platform::RemoveFile(m_writtenPath);
    }
    if (stopped && m_job.m_bShutdown) {
        return false;
    }
    if (!cut) {
        m_job.Fail(JOB_TARGET_ERROR, m_lastFinished, Problem::kUnwritable, m_writtenPath,
                   cutReason);
    } else if (stopped) {
        m_job.PostStopped(m_lastFinished);
    } else {
        m_job.Fail(result, m_lastFinished, problem, path, reason);
    }
    return false;
}

void JoinRun::NoteNotDeleted() {
    m_batch.Drain();
    JobReport& report = m_job.m_report;
    if (report.notDeleted.empty() && !m_batch.FailedPath().empty()) {
        report.notDeleted = m_batch.FailedPath();
        report.notDeletedReason = m_batch.FailureReason();
    }
}

void JoinRun::Report(int number) {
    m_lastFinished = number;
    m_job.Post(WM_JOB_PROGRESS, 0, number);
}
