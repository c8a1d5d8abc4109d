// The repair sums, for every lost slice, the known slices and the chosen recovery slices
// with the solution's coefficients: the recovery slices minus the known slices' share, then
// the solution, a stripe at a time. The intact slices of a damaged piece are copied into its
// new file first; the rebuilt ones are written where they belong. A recovery slice that
// another of the same exponent contradicts is used only where the others cannot do without
// it, each of them tried in turn until the rebuilt pieces match their MD5.
#include "recovery/set_repairer.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <memory>

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/own_file.h"
#include "platform/system_error.h"
#include "recovery/byte_source.h"
#include "recovery/piece_hasher.h"
#include "recovery/recovery_matrix.h"
#include "recovery/recovery_paths.h"
#include "recovery/striped_accumulator.h"
#include "recovery/work_sharing.h"

namespace recovery {

namespace {

// Choices among contradicting recovery slices tried at most: each costs a solve and a read
// of the rebuilt pieces.
constexpr std::size_t kMaxAttempts = 8;

struct RebuiltPiece {
    std::size_t file;  // in the set
    std::string path;
    std::string temporaryPath;
    platform::File out;
    platform::OwnFile own;  // the claim on the temporary name, until it is renamed
    bool made = false;
    bool setAside = false;  // the damaged piece is at SetAsidePath(path)
    bool renamed = false;
};

// Where a lost slice goes: its piece's new file and the offset in it.
struct Place {
    RebuiltPiece* rebuild;
    std::uint64_t offset;
    std::uint64_t length;
};

class Repair {
public:
    Repair(const SetReport& scanned,
           const KeepGoing& keepGoing,
           const RebuiltCheck& check,
           RepairResult* result)
        : m_scan(scanned),
          m_set(scanned.set),
          m_keepGoing(keepGoing),
          m_check(check),
          m_result(result) {}

    ~Repair() {
        for (RebuiltPiece& r : m_rebuilds) {
            r.out.Close();
            if (r.made && !r.renamed) {
                platform::RemoveFile(r.temporaryPath);
            }
            r.own.Release();
        }
    }

    Status Run() {
        if (!m_scan.Usable()) {
            return Status::Fail(Failure::kRecoveryData, m_scan.folder, m_set.unusable);
        }
        std::vector<RebuiltPiece*> byFile(m_set.files.size(), nullptr);
        for (std::size_t f = 0; f < m_set.files.size(); ++f) {
            const PieceReport& piece = m_scan.pieces[f];
            if (piece.condition != PieceCondition::kGood) {
                m_rebuilds.emplace_back();
                m_rebuilds.back().file = f;
                m_rebuilds.back().path = piece.path;
                m_rebuilds.back().temporaryPath = TemporaryPath(piece.path);
                byFile[f] = &m_rebuilds.back();
            }
            for (std::size_t k = 0; k < piece.goodSlices.size(); ++k) {
                if (!piece.goodSlices[k]) {
                    const SetFile& file = m_set.files[f];
                    const std::uint64_t offset = k * m_set.sliceSize;
                    m_lost.push_back(file.firstSlice + static_cast<std::uint32_t>(k));
                    m_places.push_back(
                        {byFile[f], offset, std::min(m_set.sliceSize, file.length - offset)});
                }
            }
        }
        if (m_rebuilds.empty()) {
            return Status();
        }
        Status status = AsideNamesFree();
        if (status.Ok()) {
            status = Plan();
        }
        if (status.Ok()) {
            status = StartFiles();
        }
        for (std::size_t attempt = 0; status.Ok(); ++attempt) {
            status = SolveInto();
            if (status.Ok()) {
                status = CheckMd5();
            }
            if (status.failure != Failure::kRecoveryData || !NextChoice(attempt)) {
                break;
            }
            status = Reopen();
        }
        if (status.Ok()) {
            status = CheckCallers();
        }
        if (status.Ok()) {
            status = Rename();
        }
        return status;
    }

private:
    bool KeepGoing() const { return !m_keepGoing || m_keepGoing(); }

    Status Failed(Failure failure, const std::string& path) {
        return Status::Fail(failure, path, platform::LastSystemError());
    }

    Status Stopped() const { return Status::Fail(Failure::kStopped, m_scan.folder, "stopped"); }

    // The recovery slices to solve from: those no other slice of their exponent contradicts,
    // and the contradicted ones only where those are not enough.
    Status Plan() {
        if (m_lost.empty()) {
            return Status();  // only lengths were wrong, or empty pieces missing
        }
        std::vector<std::uint32_t> sure;
        std::vector<std::uint32_t> doubted;
        for (const RecoverySliceSource& slice : m_set.recoverySlices) {
            const bool rivalled = std::any_of(
                m_set.rivals.begin(), m_set.rivals.end(),
                [&](const RecoverySliceSource& r) { return r.exponent == slice.exponent; });
            (rivalled ? doubted : sure).push_back(slice.exponent);
        }
        SolveOutcome outcome = SolveLostSlices(m_lost, sure, m_keepGoing, &m_solution);
        if (outcome == SolveOutcome::kNotEnough || outcome == SolveOutcome::kTooLarge) {
            std::vector<std::uint32_t> all = sure;
            all.insert(all.end(), doubted.begin(), doubted.end());
            outcome = SolveLostSlices(m_lost, all, m_keepGoing, &m_solution);
        }
        const std::size_t count = m_set.recoverySlices.size();
        switch (outcome) {
            case SolveOutcome::kSolved:
                break;
            case SolveOutcome::kStopped:
                return Stopped();
            case SolveOutcome::kNotEnough:
                return Status::Fail(Failure::kNotEnough, m_scan.folder,
                                    std::to_string(m_lost.size()) + " slices lost, " +
                                        std::to_string(count) +
                                        " recovery slices cannot rebuild them");
            case SolveOutcome::kTooLarge:
                return Status::Fail(
                    Failure::kNotEnough, m_scan.folder,
                    std::to_string(m_lost.size()) + " slices lost; more than " +
                        std::to_string(kMaxSolvedSlices) +
                        " are rebuilt only from as many recovery slices of consecutive "
                        "exponents, and there are " +
                        std::to_string(SolvableSlices(sure)) + " here");
        }
        // Each exponent used, with its slices: the one taken first, then its rivals.
        for (std::uint32_t e : m_solution.exponents) {
            std::vector<const RecoverySliceSource*> candidates;
            for (const RecoverySliceSource& slice : m_set.recoverySlices) {
                if (slice.exponent == e) {
                    candidates.push_back(&slice);
                }
            }
            for (const RecoverySliceSource& slice : m_set.rivals) {
                if (slice.exponent == e) {
                    candidates.push_back(&slice);
                }
            }
            m_candidates.push_back(std::move(candidates));
        }
        m_choice.assign(m_candidates.size(), 0);
        return Status();
    }

    // The next choice among contradicting slices, counting up; false when there is none, or
    // after kMaxAttempts.
    bool NextChoice(std::size_t attempt) {
        if (attempt + 1 >= kMaxAttempts) {
            return false;
        }
        for (std::size_t j = 0; j < m_choice.size(); ++j) {
            if (++m_choice[j] < m_candidates[j].size()) {
                return true;
            }
            m_choice[j] = 0;
        }
        return false;
    }

    // Each rebuilt piece's file at its full length, with the damaged piece's intact slices.
    Status StartFiles() {
        std::vector<unsigned char> buffer(std::size_t{1} << 20);
        for (RebuiltPiece& r : m_rebuilds) {
            const SetFile& file = m_set.files[r.file];
            if (!r.own.Create(r.temporaryPath, &r.out)) {
                return Failed(Failure::kTarget, r.temporaryPath);
            }
            r.made = true;
            if (!r.out.Truncate(file.length)) {
                return Failed(Failure::kTarget, r.temporaryPath);
            }
            const PieceReport& piece = m_scan.pieces[r.file];
            FileSource source;
            bool opened = false;
            for (std::size_t k = 0; k < piece.goodSlices.size(); ++k) {
                if (!piece.goodSlices[k]) {
                    continue;
                }
                if (!opened && !source.Open(r.path)) {
                    return Failed(Failure::kSource, r.path);
                }
                opened = true;
                const std::uint64_t begin = k * m_set.sliceSize;
                const std::uint64_t end = std::min(file.length, begin + m_set.sliceSize);
                if (!r.out.Seek(begin)) {
                    return Failed(Failure::kTarget, r.temporaryPath);
                }
                for (std::uint64_t at = begin; at < end;) {
                    const std::size_t step =
                        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - at));
                    if (!source.ReadAt(at, buffer.data(), step)) {
                        return Failed(Failure::kSource, r.path);
                    }
                    if (!r.out.Write(buffer.data(), step)) {
                        return Failed(Failure::kTarget, r.temporaryPath);
                    }
                    at += step;
                    if (!KeepGoing()) {
                        return Stopped();
                    }
                }
            }
            if (!KeepGoing()) {
                return Stopped();
            }
        }
        return Status();
    }

    Status SolveInto() {
        if (m_lost.empty()) {
            return Status();
        }
        AccumulationJob job;
        job.sliceSize = m_set.sliceSize;
        for (std::size_t f = 0; f < m_set.files.size(); ++f) {
            const SetFile& file = m_set.files[f];
            const PieceReport& piece = m_scan.pieces[f];
            for (std::size_t k = 0; k < piece.goodSlices.size(); ++k) {
                if (piece.goodSlices[k]) {
                    const std::uint64_t offset = k * m_set.sliceSize;
                    job.inputs.push_back(
                        {piece.path, offset, std::min(m_set.sliceSize, file.length - offset)});
                    job.inputIndices.push_back(file.firstSlice + static_cast<std::uint32_t>(k));
                }
            }
        }
        job.exponents = m_solution.exponents;
        for (std::size_t j = 0; j < m_candidates.size(); ++j) {
            const RecoverySliceSource& slice = *m_candidates[j][m_choice[j]];
            job.startFrom.push_back({slice.path, slice.dataOffset, m_set.sliceSize});
        }
        if (m_solution.inverse.empty()) {
            job.consecutive = m_solution;
        } else {
            job.finish = m_solution.inverse;
        }
        std::string failedPath;
        std::string reason;
        StripedAccumulator accumulator;
        const StripedAccumulator::Outcome outcome = accumulator.Run(
            job,
            [&](std::uint64_t offset, std::size_t width,
                const std::vector<const std::uint8_t*>& outputs) {
                for (std::size_t m = 0; m < outputs.size(); ++m) {
                    const Place& place = m_places[m];
                    if (offset >= place.length) {
                        continue;  // the zero padding past the piece's end
                    }
                    const std::size_t size = static_cast<std::size_t>(
                        std::min<std::uint64_t>(width, place.length - offset));
                    if (!place.rebuild->out.Seek(place.offset + offset) ||
                        !place.rebuild->out.Write(outputs[m], size)) {
                        failedPath = place.rebuild->temporaryPath;
                        reason = platform::LastSystemError();
                        return false;
                    }
                }
                return true;
            },
            m_keepGoing, &failedPath, &reason);
        return StripedAccumulator::StatusOf(outcome, failedPath, reason, m_scan.folder);
    }

    // Every new file flushed, closed and read back against its piece's MD5.
    Status CheckMd5() {
        for (RebuiltPiece& r : m_rebuilds) {
            if (!r.out.Flush() || !r.out.Close()) {
                return Failed(Failure::kTarget, r.temporaryPath);
            }
        }
        std::atomic<bool> stop{false};
        std::vector<std::string> problems(m_rebuilds.size());
        PieceHasher hashers[2];
        ShareWork(
            m_rebuilds.size(),
            [&](std::size_t i, int thread) {
                if (stop.load()) {
                    return;
                }
                const RebuiltPiece& r = m_rebuilds[i];
                const SetFile& file = m_set.files[r.file];
                PieceHashes hashes;
                std::string reason;
                const recovery::KeepGoing* asker = thread == 0 ? &m_keepGoing : nullptr;
                const PieceHasher::Outcome outcome = hashers[thread].Hash(
                    r.temporaryPath, m_set.sliceSize, asker, &stop, &hashes, &reason);
                if (outcome == PieceHasher::Outcome::kFailed) {
                    problems[i] = reason;
                } else if (outcome == PieceHasher::Outcome::kHashed &&
                           (hashes.length != file.length || hashes.md5 != file.md5)) {
                    problems[i] = "the rebuilt piece does not match its MD5";
                }
            },
            [&] {
                if (!KeepGoing()) {
                    stop.store(true);
                }
            });
        if (stop.load() || !KeepGoing()) {
            return Stopped();
        }
        for (std::size_t i = 0; i < m_rebuilds.size(); ++i) {
            if (!problems[i].empty()) {
                return Status::Fail(Failure::kRecoveryData, m_rebuilds[i].path, problems[i]);
            }
        }
        return Status();
    }

    // The new files opened again for another choice of recovery slices.
    Status Reopen() {
        for (RebuiltPiece& r : m_rebuilds) {
            if (!r.out.Open(r.temporaryPath, platform::File::Access::kWriteExisting)) {
                return Failed(Failure::kTarget, r.temporaryPath);
            }
        }
        return Status();
    }

    Status CheckCallers() {
        if (!m_check) {
            return Status();
        }
        std::vector<RebuiltFile> rebuilt;
        for (const RebuiltPiece& r : m_rebuilds) {
            rebuilt.push_back({r.path, r.temporaryPath});
        }
        return m_check(rebuilt);
    }

    // A damaged piece is set aside under NAME.1 before its rebuilt piece takes its name:
    // that name must be free, or the repair would stop half-way.
    Status AsideNamesFree() const {
        for (const RebuiltPiece& r : m_rebuilds) {
            const std::string aside = SetAsidePath(r.path);
            if (m_scan.pieces[r.file].condition == PieceCondition::kDamaged &&
                platform::PathExists(aside)) {
                return Status::Fail(Failure::kTarget, aside,
                                    "is there already, where the damaged piece would be kept "
                                    "aside; move it away");
            }
        }
        return Status();
    }

    // Each damaged piece set aside and each rebuilt piece renamed while still claimed, so that
    // no other run takes them for leftovers meanwhile; the damaged pieces go only once every
    // rebuilt piece has its name, and come back where their rebuilt piece did not.
    Status Rename() {
        Status status;
        for (RebuiltPiece& r : m_rebuilds) {
            if (m_scan.pieces[r.file].condition == PieceCondition::kDamaged) {
                if (!platform::RenameToNewName(r.path, SetAsidePath(r.path))) {
                    status = Failed(Failure::kTarget, r.path);
                    break;
                }
                r.setAside = true;
            }
            if (!platform::RenameFile(r.temporaryPath, r.path)) {
                status = Failed(Failure::kTarget, r.path);
                break;
            }
            r.renamed = true;
            r.own.Release();
            m_result->rebuilt.push_back(r.path);
        }
        if (status.Ok() && !platform::FlushFolder(m_scan.folder)) {
            status = Failed(Failure::kTarget, m_scan.folder);
        }
        for (RebuiltPiece& r : m_rebuilds) {
            if (!r.setAside) {
                continue;
            }
            const std::string aside = SetAsidePath(r.path);
            // Replaced but not durably so: the damaged piece is left where it is.
            const bool gone = r.renamed ? !status.Ok() || platform::RemoveFile(aside)
                                        : platform::RenameFile(aside, r.path);
            if (!gone && status.Ok()) {
                status = Failed(Failure::kTarget, aside);
            }
        }
        if (!platform::FlushFolder(m_scan.folder) && status.Ok()) {
            status = Failed(Failure::kTarget, m_scan.folder);
        }
        return status;
    }

    const SetReport& m_scan;
    const RecoverySet& m_set;
    const recovery::KeepGoing& m_keepGoing;
    const RebuiltCheck& m_check;
    RepairResult* m_result;
    std::deque<RebuiltPiece> m_rebuilds;  // files stay put as more are added
    std::vector<std::uint32_t> m_lost;    // input slice indices
    std::vector<Place> m_places;          // one per lost slice
    Solution m_solution;
    // Per exponent of the solution: the slices that may serve, and which one is tried.
    std::vector<std::vector<const RecoverySliceSource*>> m_candidates;
    std::vector<std::size_t> m_choice;
};

}  // namespace

std::string SetAsidePath(const std::string& path) {
    return path + ".1";
}

Status RepairSet(const SetReport& scanned,
                 const KeepGoing& keepGoing,
                 RepairResult* result,
                 const RebuiltCheck& check) {
    *result = RepairResult();
    Repair repair(scanned, keepGoing, check, result);
    return repair.Run();
}

}  // namespace recovery
