// The join job: the numbered pieces in a folder appended, in number order, to one file.
#include <chrono>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "engine/block_copy.h"
#include "engine/folder_flush.h"
#include "engine/job_controller.h"
#include "engine/job_observer.h"
#include "engine/job_paths.h"
#include "engine/piece_set.h"
#include "platform/file_system.h"
#include "platform/folder_listing.h"

namespace {

struct Listing {
    bool complete = false;               // read to its end without error
    int matches = 0;                     // entries whose name contains "__"
    std::string lastMatch;               // the last of them, in listing order
    std::vector<std::string> fileNames;  // the matches that are files, not folders
};

Listing ListMatches(const std::string& folder) {
    Listing result;
    platform::FolderListing listing;
    if (!listing.Start(folder)) {
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
    listing.Close();
    return result;
}

// The highest piece number of `fileName` among `names` when the numbers found are exactly
// 1 to that number, else 0.
int CompleteSet(const std::vector<std::string>& names, const std::string& fileName) {
    const std::vector<int> numbers = PieceNumbers(names, fileName);
    return FirstMissingPiece(numbers) == 0 ? numbers.back() : 0;
}

// Copies a piece that must still hold exactly the `length` bytes it held when the set was
// checked: kSourceEnd when it did, kReadFailed when it has grown or shrunk since.
CopyEnd CopyPiece(platform::BufferedReader& piece,
                  platform::BufferedWriter& output,
                  std::uint64_t length,
                  char* block,
                  const CopyHooks& hooks) {
    std::uint64_t copied = 0;
    const CopyEnd end = CopyBlocks(piece, output, length, block, hooks, &copied);
    if (end != CopyEnd::kLimitReached && end != CopyEnd::kSourceEnd) {
        return end;
    }
    char probe;
    return copied == length && piece.Read(&probe, 1) == 0 ? CopyEnd::kSourceEnd
                                                          : CopyEnd::kReadFailed;
}

// With delete-after-use, joined pieces wait for one flush of the output to cover a batch of
// them before they go: every 64 MiB or half a second of joining, not after every piece.
constexpr std::uint64_t kBatchBytes = std::uint64_t{64} << 20;
constexpr std::chrono::milliseconds kBatchAge{500};

struct PendingPieces {
    std::vector<std::pair<std::string, std::uint64_t>> pieces;  // paths and lengths
    std::uint64_t bytes = 0;
    std::chrono::steady_clock::time_point since;

    void Add(const std::string& path, std::uint64_t length) {
        if (pieces.empty()) {
            since = std::chrono::steady_clock::now();
        }
        pieces.emplace_back(path, length);
        bytes += length;
    }
    bool Due() const {
        return bytes >= kBatchBytes || std::chrono::steady_clock::now() - since >= kBatchAge;
    }
};

}  // namespace

void CJobController::RunJoin() {
    std::string source = m_strSource;
    std::string target = m_strTarget;
    AppendSeparator(&source);

    const Listing listing = ListMatches(source);
    std::string outputName;
    // Refuse a set with a gap or without piece 1 before anything is created, rather than
    // join a short file and call it a success. A listing cut short by an error could hide
    // pieces or name the wrong file, so it is refused too.
    const int highest =
        listing.complete && listing.matches > 0 && NameAfterMarker(listing.lastMatch, &outputName)
            ? CompleteSet(listing.fileNames, outputName)
            : 0;
    if (highest == 0) {
        Post(WM_JOB_DONE, JOB_SOURCE_ERROR, 0);
        return;
    }

    // Every piece must open, and the pieces must fit together, before the output is
    // created, so that a join that cannot give back the original (a piece held by another
    // program, stale pieces of an earlier split, a piece cut short) leaves a file of the
    // output's name and the pieces alone. Piece 1 stays open for the copy.
    platform::BufferedReader piece(platform::kFileBufferSize);
    std::vector<std::uint64_t> lengths(static_cast<std::size_t>(highest));
    for (int number = highest; number >= 1; --number) {
        if (!piece.Open(source + PieceName(number, outputName)) ||
            !piece.Length(&lengths[static_cast<std::size_t>(number - 1)])) {
            piece.Close();
            Post(WM_JOB_DONE, JOB_SOURCE_ERROR, 0);
            return;
        }
        if (number > 1) {
            piece.Close();
        }
    }
    if (FirstMisfit(lengths) != 0) {
        piece.Close();
        Post(WM_JOB_DONE, JOB_SOURCE_ERROR, 0);
        return;
    }
    JobObserver* const observer = m_pJobObserver;
    std::string writtenName = outputName;
    if (observer != nullptr) {
        const JobResult verdict = observer->JoinStarts(outputName, lengths, &writtenName);
        if (verdict != JOB_OK) {
            piece.Close();
            Post(WM_JOB_DONE, verdict, 0);
            return;
        }
    }
    // The folders are made from the target as given, as the split makes them, so that a
    // name the system would trim (blanks) is refused the same way by both jobs.
    const std::vector<std::string> grown = CreateFolderChain(target);
    AppendSeparator(&target);
    const std::string outputPath = target + outputName;
    const std::string writtenPath = target + writtenName;
    const bool staged = writtenPath != outputPath;
    platform::BufferedWriter output(platform::kFileBufferSize);
    if (!output.Create(writtenPath)) {
        piece.Close();
        Post(WM_JOB_DONE, JOB_TARGET_ERROR, 0);
        return;
    }
    Post(WM_JOB_RANGE, static_cast<std::uintptr_t>(listing.matches), 0);

    char block[kBlockSize];
    int lastFinished = 0;
    std::uint64_t durable = 0;  // bytes of the pieces deleted, flushed in the output
    bool deleting = false;      // pieces have been set aside for deletion
    bool deletedAny = false;
    bool deleteFailed = false;
    PendingPieces pending;
    // Makes the output durable, then deletes and reports the pieces it now holds. After a
    // deletion fails no further piece is deleted, so that the pieces left are always the
    // last ones, which the output's durable bytes precede.
    auto settle = [&]() {
        if (pending.pieces.empty()) {
            return true;
        }
        if (!output.Flush() || !(deletedAny || FlushFolders(target, grown))) {
            return false;
        }
        for (const auto& [path, length] : pending.pieces) {
            if (!deleteFailed && platform::RemoveFile(path)) {
                deletedAny = true;
                durable += length;
            } else {
                deleteFailed = true;
            }
            ++lastFinished;
            Post(WM_JOB_PROGRESS, 0, lastFinished);
        }
        pending = PendingPieces();
        return true;
    };
    // Every early end closes the output. Once pieces are being deleted, the output is cut
    // back to the pieces gone, so that it and the pieces left give the original exactly;
    // otherwise it keeps what it holds. (Closed, it holds every piece already.) A staged
    // output goes too, unless it holds the only copy of pieces already deleted.
    auto end = [&](bool stopped, JobResult result) {
        const bool cut = !deleting || !output.IsOpen() || output.Truncate(durable);
        output.Close();
        if (staged && !deletedAny) {
            platform::RemoveFile(writtenPath);
        }
        if (stopped) {
            PostStopped(lastFinished);
        } else {
            Post(WM_JOB_DONE, cut ? result : JOB_TARGET_ERROR, lastFinished);
        }
    };
    for (int number = 1; number <= highest; ++number) {
        const std::string piecePath = source + PieceName(number, outputName);
        if (number > 1 && !piece.Open(piecePath)) {
            // A piece the listing found has gone missing since.
            return end(false, JOB_SOURCE_ERROR);
        }
        const std::uint64_t length = lengths[static_cast<std::size_t>(number - 1)];
        const CopyEnd copy = CopyPiece(piece, output, length, block, Hooks());
        piece.Close();
        if (copy != CopyEnd::kSourceEnd) {
            return end(copy == CopyEnd::kStopped,
                       copy == CopyEnd::kReadFailed ? JOB_SOURCE_ERROR : JOB_TARGET_ERROR);
        }
        if (observer != nullptr) {
            const JobResult verdict = observer->PieceDone(number);
            if (verdict != JOB_OK) {
                return end(false, verdict);
            }
        }
        if (m_bDeleteSource && !deleteFailed) {
            // A piece is data until its bytes are safely in the output. They start on their
            // way now, so that the batch's flush finds most of them written already.
            deleting = true;
            pending.Add(piecePath, length);
            if (!output.StartFlush() || (pending.Due() && !settle())) {
                return end(false, JOB_TARGET_ERROR);
            }
            continue;
        }
        // Pieces still waiting for deletion are reported first, in number order.
        if (!settle()) {
            return end(false, JOB_TARGET_ERROR);
        }
        lastFinished = number;
        Post(WM_JOB_PROGRESS, 0, number);
    }
    if (!settle()) {
        return end(false, JOB_TARGET_ERROR);
    }

    // A staged output takes the output's name only once its bytes are durable and accepted,
    // so that the name never holds a file that is not whole.
    if ((staged && !output.Flush()) || !output.Close()) {
        return end(false, JOB_TARGET_ERROR);
    }
    if (observer != nullptr) {
        const JobResult verdict = observer->Finished(target, outputName, lastFinished);
        if (verdict != JOB_OK) {
            return end(false, verdict);
        }
    }
    if (staged &&
        (!platform::RenameFile(writtenPath, outputPath) || !FlushFolders(target, grown))) {
        return end(false, JOB_TARGET_ERROR);
    }
    Post(WM_JOB_DONE, JOB_OK, lastFinished);
}
