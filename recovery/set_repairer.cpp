// The repair sums, for every lost slice, the known slices and the chosen recovery slices
// with the solution's coefficients: the recovery slices minus the known slices' share, then
// the inverse matrix, a stripe at a time. The intact slices of a damaged piece are copied
// into its new file first; the rebuilt ones are written where they belong.
#include "recovery/set_repairer.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "recovery/byte_source.h"
#include "recovery/piece_hasher.h"
#include "recovery/recovery_matrix.h"
#include "recovery/recovery_paths.h"
#include "recovery/striped_accumulator.h"
#include "recovery/work_sharing.h"

namespace recovery {

namespace {

struct RebuiltPiece {
    std::size_t file;  // in the set
    std::string path;
    std::string temporaryPath;
    platform::File out;
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
            if (!m_renaming) {
                platform::RemoveFile(r.temporaryPath);
            }
        }
    }

    Status Run() {
        if (!m_scan.Usable()) {
            return Status::Fail(Failure::kRecoveryData, m_scan.folder, m_set.unusable);
        }
        std::vector<std::uint32_t> lost;
        for (std::size_t f = 0; f < m_set.files.size(); ++f) {
            const PieceReport& piece = m_scan.pieces[f];
            for (std::size_t k = 0; k < piece.goodSlices.size(); ++k) {
                if (!piece.goodSlices[k]) {
                    lost.push_back(m_set.files[f].firstSlice + static_cast<std::uint32_t>(k));
                }
            }
            if (piece.condition != PieceCondition::kGood) {
                m_rebuilds.emplace_back();
                m_rebuilds.back().file = f;
                m_rebuilds.back().path = piece.path;
                m_rebuilds.back().temporaryPath = TemporaryPath(piece.path);
            }
        }
        if (m_rebuilds.empty()) {
            return Status();
        }
        std::vector<std::uint32_t> exponents;
        for (const RecoverySliceSource& slice : m_set.recoverySlices) {
            exponents.push_back(slice.exponent);
        }
        Solution solution;
        switch (SolveLostSlices(lost, exponents, &solution)) {
            case SolveOutcome::kSolved:
                break;
            case SolveOutcome::kNotEnough:
                return Status::Fail(Failure::kNotEnough, m_scan.folder,
                                    std::to_string(lost.size()) + " slices lost, " +
                                        std::to_string(exponents.size()) +
                                        " recovery slices cannot rebuild them");
            case SolveOutcome::kTooLarge:
                return Status::Fail(Failure::kNotEnough, m_scan.folder,
                                    "more lost slices than can be solved at once");
        }
        Status status = StartFiles();
        if (status.Ok()) {
            status = SolveInto(lost, solution);
        }
        if (status.Ok()) {
            status = Check();
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

    // Each rebuilt piece's file at its full length, with the damaged piece's intact slices.
    Status StartFiles() {
        std::vector<unsigned char> buffer(std::size_t{1} << 20);
        for (RebuiltPiece& r : m_rebuilds) {
            const SetFile& file = m_set.files[r.file];
            if (!r.out.Open(r.temporaryPath, platform::File::Access::kCreateWrite) ||
                !r.out.Truncate(file.length)) {
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
                }
            }
            if (!KeepGoing()) {
                return Status::Fail(Failure::kStopped, m_scan.folder, "stopped");
            }
        }
        return Status();
    }

    Status SolveInto(const std::vector<std::uint32_t>& lost, const Solution& solution) {
        if (lost.empty()) {
            return Status();  // only lengths were wrong, or empty pieces missing
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
        job.exponents = solution.exponents;
        for (std::uint32_t e : solution.exponents) {
            for (const RecoverySliceSource& slice : m_set.recoverySlices) {
                if (slice.exponent == e) {
                    job.startFrom.push_back({slice.path, slice.dataOffset, m_set.sliceSize});
                }
            }
        }
        job.finish = solution.inverse;
        // Where each lost slice goes: its piece's new file and the offset in it.
        struct Place {
            RebuiltPiece* rebuild;
            std::uint64_t offset;
            std::uint64_t length;
        };
        std::vector<Place> places;
        for (std::uint32_t index : lost) {
            for (RebuiltPiece& r : m_rebuilds) {
                const SetFile& file = m_set.files[r.file];
                if (index >= file.firstSlice && index - file.firstSlice < file.slices.size()) {
                    const std::uint64_t offset = (index - file.firstSlice) * m_set.sliceSize;
                    places.push_back({&r, offset, std::min(m_set.sliceSize, file.length - offset)});
                }
            }
        }
        std::string failedPath;
        std::string reason;
        StripedAccumulator accumulator;
        const StripedAccumulator::Outcome outcome = accumulator.Run(
            job,
            [&](std::uint64_t offset, std::size_t width,
                const std::vector<const std::uint8_t*>& outputs) {
                for (std::size_t m = 0; m < outputs.size(); ++m) {
                    const Place& place = places[m];
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
    Status Check() {
        for (RebuiltPiece& r : m_rebuilds) {
            if (!r.out.Flush() || !r.out.Close()) {
                return Failed(Failure::kTarget, r.temporaryPath);
            }
        }
        std::atomic<bool> stop{false};
        std::vector<std::string> problems(m_rebuilds.size());
        PieceHasher hashers[2];
        ShareWork(m_rebuilds.size(), [&](std::size_t i, int thread) {
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
        });
        for (std::size_t i = 0; i < m_rebuilds.size(); ++i) {
            if (!problems[i].empty()) {
                return Status::Fail(Failure::kRecoveryData, m_rebuilds[i].path, problems[i]);
            }
        }
        if (stop.load() || !KeepGoing()) {
            return Status::Fail(Failure::kStopped, m_scan.folder, "stopped");
        }
        for (const RebuiltPiece& r : m_rebuilds) {
            std::string reason;
            if (m_check && !m_check(r.path, r.temporaryPath, &reason)) {
                return Status::Fail(Failure::kRecoveryData, r.path, reason);
            }
        }
        return Status();
    }

    Status Rename() {
        m_renaming = true;
        for (RebuiltPiece& r : m_rebuilds) {
            if (!platform::RenameFile(r.temporaryPath, r.path)) {
                Status status = Failed(Failure::kTarget, r.path);
                platform::RemoveFile(r.temporaryPath);
                return status;
            }
            m_result->rebuilt.push_back(r.path);
        }
        if (!platform::FlushFolder(m_scan.folder)) {
            return Failed(Failure::kTarget, m_scan.folder);
        }
        return Status();
    }

    const SetReport& m_scan;
    const RecoverySet& m_set;
    const recovery::KeepGoing& m_keepGoing;
    const RebuiltCheck& m_check;
    RepairResult* m_result;
    std::deque<RebuiltPiece> m_rebuilds;  // files stay put as more are added
    bool m_renaming = false;
};

}  // namespace

Status RepairSet(const SetReport& scanned,
                 const KeepGoing& keepGoing,
                 RepairResult* result,
                 const RebuiltCheck& check) {
    *result = RepairResult();
    Repair repair(scanned, keepGoing, check, result);
    return repair.Run();
}

}  // namespace recovery
