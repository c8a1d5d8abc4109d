// secanto verify DIR: every piece of every file that DIR's SHA256SUMS lists, hashed and
// compared without joining. Like `sha256sum -c --quiet`, it prints only what is wrong, one
// line per name on standard output: "NAME: FAILED" (the bytes differ), "NAME: MISSING"
// (listed, not there), "NAME: NOT LISTED" (a piece there that the list lacks), and for a
// piece that cannot be read the system's reason on standard error and "NAME: FAILED open or
// read". The whole file's line is checked against the pieces' bytes when every piece is
// good.
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/checksum_list.h"
#include "cli/checksum_watcher.h"
#include "cli/commands.h"
#include "cli/digest_streams.h"
#include "cli/progress_line.h"
#include "cli/report.h"
#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/folder_listing.h"
#include "platform/interrupt.h"
#include "platform/system_error.h"

namespace cli {

namespace {

constexpr std::size_t kReadSize = std::size_t{128} << 10;

// One piece number of one file: what the list says and what the folder holds.
struct Piece {
    std::string digest;  // empty when not listed
    bool present = false;
};

struct ListedFile {
    std::string name;
    std::string digest;           // of the whole file; empty without a line
    std::map<int, Piece> pieces;  // by number, listed or present
};

// The files with piece lines, in the order of their first line, and the pieces the folder
// holds for each.
std::vector<ListedFile> Plan(const ChecksumList& sums, const std::vector<std::string>& names) {
    std::vector<ListedFile> files;
    for (const Checksum& line : sums.Checksums()) {
        std::string fileName;
        int number = 0;
        if (!NameAfterMarker(line.name, &fileName) ||
            !ParsePieceNumber(line.name, fileName, &number)) {
            continue;
        }
        bool known = false;
        for (const ListedFile& file : files) {
            known = known || file.name == fileName;
        }
        if (known) {
            continue;
        }
        ListedFile file;
        file.name = fileName;
        const SplitChecksums found = sums.Find(fileName);
        file.digest = found.file;
        for (const auto& piece : found.pieces) {
            file.pieces[piece.first].digest = piece.second;
        }
        for (const std::string& name : names) {
            if (ParsePieceNumber(name, fileName, &number)) {
                file.pieces[number].present = true;
            }
        }
        files.push_back(file);
    }
    return files;
}

class Verifier {
public:
    Verifier(const std::string& folder, ProgressLine* progress)
        : m_folder(folder), m_progress(progress), m_buffer(new char[kReadSize]) {}

    // Checks one file's pieces and then its whole; false when interrupted.
    bool Check(const ListedFile& file) {
        bool whole = true;  // every piece so far was hashed and good
        const int highest = file.pieces.empty() ? 0 : file.pieces.rbegin()->first;
        for (int number = 1; number <= highest; ++number) {
            const auto found = file.pieces.find(number);
            const Piece piece = found == file.pieces.end() ? Piece() : found->second;
            const std::string name = PieceName(number, file.name);
            if (piece.digest.empty()) {
                Bad(name, piece.present ? "NOT LISTED" : "MISSING");
                whole = false;
                continue;
            }
            if (!piece.present) {
                Bad(name, "MISSING");
                whole = false;
                continue;
            }
            const Hashed hashed = Hash(InFolder(m_folder, name));
            if (hashed == Hashed::kInterrupted) {
                return false;
            }
            ++m_checked;
            std::string digest;
            if (hashed == Hashed::kUnreadable) {
                Bad(name, "FAILED open or read");
                whole = false;
            } else if (!m_streams.PieceDigest(m_streams.EndPiece(), &digest)) {
                Unhashable(name);
                whole = false;
            } else if (digest != piece.digest) {
                Bad(name, "FAILED");
                whole = false;
            }
        }
        const int ended = m_streams.EndWhole();
        std::string digest;
        if (whole && !file.digest.empty()) {
            if (!m_streams.WholeDigest(ended, &digest)) {
                Unhashable(file.name);
            } else if (digest != file.digest) {
                Bad(file.name, "FAILED");
            }
        }
        return true;
    }

    DigestStreams& Streams() { return m_streams; }
    int Checked() const { return m_checked; }
    int Failures() const { return m_failures; }

private:
    enum class Hashed { kRead, kUnreadable, kInterrupted };

    // Feeds the piece's bytes to both streams. A piece that fails part way has fed some:
    // its digest is ended and dropped, and the whole's is not used.
    Hashed Hash(const std::string& path) {
        platform::File file;
        if (!file.Open(path, platform::File::Access::kReadShareDenyWrite)) {
            m_progress->Clear();
            ReportError(path, platform::LastSystemError());
            return Hashed::kUnreadable;
        }
        for (;;) {
            if (platform::Interrupted()) {
                return Hashed::kInterrupted;
            }
            const std::int64_t got = file.Read(m_buffer.get(), kReadSize);
            if (got < 0) {
                m_progress->Clear();
                ReportError(path, platform::LastSystemError());
                m_streams.EndPiece();
                return Hashed::kUnreadable;
            }
            if (got == 0) {
                break;
            }
            m_streams.Add(m_buffer.get(), static_cast<std::size_t>(got));
            m_bytes += static_cast<std::uint64_t>(got);
            m_progress->Update(m_bytes, static_cast<std::uint64_t>(m_checked));
        }
        // Only read: closing it loses nothing.
        file.Close();
        return Hashed::kRead;
    }

    void Bad(const std::string& name, const char* what) {
        m_progress->Clear();
        const std::string line = name + ": " + what + "\n";
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
        ++m_failures;
    }

    void Unhashable(const std::string& name) {
        m_progress->Clear();
        ReportError(InFolder(m_folder, name), "could not be hashed: " + m_streams.Failure());
        Bad(name, "FAILED open or read");
    }

    const std::string m_folder;
    ProgressLine* m_progress;
    std::unique_ptr<char[]> m_buffer;
    DigestStreams m_streams;
    std::uint64_t m_bytes = 0;
    int m_checked = 0;
    int m_failures = 0;
};

}  // namespace

int VerifyCommand(const Arguments& arguments) {
    std::string folder;
    if (!PiecesFolder(arguments.operand, &folder)) {
        return kExitSource;
    }
    const std::string sumsPath = InFolder(folder, kSumsName);
    ChecksumList sums;
    std::string reason;
    if (sums.Read(sumsPath, &reason) != ChecksumList::ReadResult::kRead) {
        ReportError(sumsPath, reason);
        return kExitSource;
    }
    std::vector<std::string> names;
    platform::FolderListing listing;
    if (!listing.Start(InFolder(folder, ""))) {
        ReportError(folder, platform::LastSystemError());
        return kExitSource;
    }
    platform::FolderListing::Entry entry;
    while (listing.Next(&entry)) {
        if (!entry.isFolder) {
            names.push_back(entry.name);
        }
    }
    if (listing.Failed()) {
        ReportError(folder, platform::LastSystemError());
        return kExitSource;
    }
    listing.Close();
    const std::vector<ListedFile> files = Plan(sums, names);
    if (files.empty()) {
        ReportError(sumsPath, "lists no pieces (1__NAME, 2__NAME, ...)");
        return kExitSource;
    }

    std::uint64_t totalBytes = 0;
    std::uint64_t totalPieces = 0;
    for (const ListedFile& file : files) {
        for (const auto& piece : file.pieces) {
            std::uint64_t length = 0;
            platform::File probe;
            if (piece.second.present && !piece.second.digest.empty() &&
                probe.Open(InFolder(folder, PieceName(piece.first, file.name)),
                           platform::File::Access::kReadShareDenyWrite) &&
                probe.Length(&length)) {
                totalBytes += length;
            }
            ++totalPieces;
        }
    }
    ProgressLine progress(stderr, ShowProgress(arguments));
    progress.Start(totalBytes, totalPieces);
    Verifier verifier(folder, &progress);
    if (!verifier.Streams().Start(&reason)) {
        ReportError(folder, "cannot start hashing: " + reason);
        return kExitSource;
    }
    for (const ListedFile& file : files) {
        if (!verifier.Check(file)) {
            progress.Clear();
            ReportLine("interrupted");
            return kExitInterrupted;
        }
    }
    progress.Clear();
    if (verifier.Failures() > 0) {
        if (!arguments.quiet) {
            const int failures = verifier.Failures();
            ReportError(folder, "verification failed (" + std::to_string(failures) +
                                    (failures == 1 ? " problem)" : " problems)"));
        }
        return kExitVerify;
    }
    progress.Finish("verified " + std::to_string(verifier.Checked()) + " pieces in " + folder +
                    " against SHA256SUMS: all good");
    return kExitOk;
}

}  // namespace cli
