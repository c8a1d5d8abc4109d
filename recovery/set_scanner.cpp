// The scan reads the recovery files on both cores, a file each, then checks every piece of
// every usable set the same way. A piece is good when its length and every slice's MD5
// match; a slice of a damaged piece counts when its own MD5 matches.
#include "recovery/set_scanner.h"

#include <algorithm>
#include <atomic>
#include <cctype>

#include "platform/file_system.h"
#include "platform/folder_listing.h"
#include "platform/system_error.h"
#include "recovery/byte_source.h"
#include "recovery/packet_reader.h"
#include "recovery/piece_hasher.h"
#include "recovery/recovery_matrix.h"
#include "recovery/work_sharing.h"

namespace recovery {

namespace {

bool EndsWithPar2(const std::string& name) {
    if (name.size() < 5 || name[0] == '.') {
        return false;  // hidden names include this program's temporary files
    }
    std::string tail = name.substr(name.size() - 5);
    for (char& c : tail) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return tail == ".par2";
}

std::string WithSeparator(const std::string& folder) {
    if (folder.empty()) {
        return std::string(".") + platform::kPathSeparator;
    }
    const char last = folder.back();
    return last == '/' || last == platform::kPathSeparator ? folder
                                                           : folder + platform::kPathSeparator;
}

}  // namespace

bool SetReport::AllPiecesGood() const {
    return std::all_of(pieces.begin(), pieces.end(),
                       [](const PieceReport& p) { return p.condition == PieceCondition::kGood; });
}

Status ReadSets(const std::string& folder,
                const PieceNameFilter& isPiece,
                const KeepGoing& keepGoing,
                ScanResult* result) {
    *result = ScanResult();
    const std::string base = WithSeparator(folder);
    std::vector<std::string> names;
    platform::FolderListing listing;
    if (!listing.Start(base)) {
        return Status::Fail(Failure::kRecoveryData, folder, platform::LastSystemError());
    }
    platform::FolderListing::Entry entry;
    while (listing.Next(&entry)) {
        if (!entry.isFolder && EndsWithPar2(entry.name)) {
            names.push_back(entry.name);
        }
    }
    if (listing.Failed()) {
        return Status::Fail(Failure::kRecoveryData, folder, platform::LastSystemError());
    }
    listing.Close();
    std::sort(names.begin(), names.end());

    // The recovery files, a file per thread.
    ReadPackets read(names.size());
    std::vector<std::string> reasons(names.size());
    std::atomic<bool> stop{false};
    // The caller is asked on its own thread only; the other sees the answer.
    const KeepGoing asked = [&] {
        if (keepGoing && !keepGoing()) {
            stop.store(true);
        }
        return !stop.load();
    };
    const KeepGoing told = [&] { return !stop.load(); };
    PacketReader readers[2];
    ShareWork(
        names.size(),
        [&](std::size_t i, int thread) {
            read[i].first = base + names[i];
            if (stop.load()) {
                return;
            }
            // Only a file on a disk is read: a FIFO would wait for a writer for ever.
            FileSource source;
            if (!source.Open(read[i].first)) {
                reasons[i] = platform::LastSystemError();
                return;
            }
            const PacketReader::Outcome outcome =
                readers[thread].Read(source, thread == 0 ? asked : told, &read[i].second);
            if (outcome == PacketReader::Outcome::kStopped) {
                stop.store(true);
            } else if (outcome == PacketReader::Outcome::kReadError) {
                reasons[i] = platform::LastSystemError();
            }
        },
        [&] { asked(); });
    if (stop.load() || (keepGoing && !keepGoing())) {
        return Status::Fail(Failure::kStopped, folder, "stopped");
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!reasons[i].empty()) {
            result->unreadable.push_back({read[i].first, reasons[i]});
        }
    }

    for (RecoverySet& set : AssembleSets(read, isPiece)) {
        SetReport report;
        report.set = std::move(set);
        report.folder = base;
        report.recoverySlices = static_cast<std::uint32_t>(report.set.recoverySlices.size());
        std::vector<std::uint32_t> exponents;
        for (const RecoverySliceSource& slice : report.set.recoverySlices) {
            exponents.push_back(slice.exponent);
        }
        report.solvable = SolvableSlices(exponents);
        result->sets.push_back(std::move(report));
    }
    return Status();
}

Status ScanFolder(const std::string& folder,
                  const PieceNameFilter& isPiece,
                  const KeepGoing& keepGoing,
                  ScanResult* result) {
    const Status read = ReadSets(folder, isPiece, keepGoing, result);
    if (!read.Ok()) {
        return read;
    }
    std::atomic<bool> stop{false};
    for (SetReport& report : result->sets) {
        const std::string& base = report.folder;
        if (report.Usable()) {
            report.pieces.resize(report.set.files.size());
            PieceHasher hashers[2];
            ShareWork(
                report.set.files.size(),
                [&](std::size_t i, int thread) {
                    const SetFile& file = report.set.files[i];
                    PieceReport& piece = report.pieces[i];
                    piece.path = base + file.name;
                    piece.goodSlices.assign(file.slices.size(), false);
                    if (stop.load()) {
                        return;
                    }
                    PieceHashes hashes;
                    std::string reason;
                    const KeepGoing* asker = thread == 0 ? &keepGoing : nullptr;
                    // Bytes past the described slices are of no slice: the piece is damaged by
                    // its length alone, and a short slice size would make countless checksums.
                    const PieceHasher::Outcome outcome = hashers[thread].Hash(
                        piece.path, report.set.sliceSize, asker, &stop, &hashes, &reason,
                        file.slices.size() * report.set.sliceSize);
                    if (outcome == PieceHasher::Outcome::kFailed) {
                        const bool missing = !platform::PathExists(piece.path);
                        piece.condition =
                            missing ? PieceCondition::kMissing : PieceCondition::kDamaged;
                        piece.reason = missing ? std::string() : reason;
                        return;
                    }
                    bool allGood = hashes.length == file.length;
                    for (std::size_t k = 0; k < file.slices.size(); ++k) {
                        piece.goodSlices[k] =
                            k < hashes.slices.size() && hashes.slices[k].md5 == file.slices[k].md5;
                        allGood = allGood && piece.goodSlices[k];
                    }
                    piece.condition = allGood ? PieceCondition::kGood : PieceCondition::kDamaged;
                },
                [&] {
                    if (keepGoing && !keepGoing()) {
                        stop.store(true);
                    }
                });
            if (stop.load()) {
                return Status::Fail(Failure::kStopped, folder, "stopped");
            }
            for (const PieceReport& piece : report.pieces) {
                report.lostSlices += static_cast<std::uint32_t>(
                    std::count(piece.goodSlices.begin(), piece.goodSlices.end(), false));
            }
        }
    }
    return Status();
}

}  // namespace recovery
