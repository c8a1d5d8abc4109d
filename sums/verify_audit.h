// Every piece of every file that a pieces folder's SHA256SUMS lists, hashed and compared
// with the list without joining. What is wrong comes out as findings, one per name, as
// sha256sum -c reports its lines: a list line no one can read, lines that disagree, pieces
// listed and not there, pieces there and not listed, pieces that cannot be read, and bytes
// that differ; the whole file's line is checked once every piece of it is good.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sums/checksum_list.h"
#include "sums/digest_pool.h"
#include "sums/finding.h"

namespace sums {

class VerifyAudit {
public:
    // Takes `folder`'s list and the names of the files in it (entries that are no folders).
    VerifyAudit(const std::string& folder,
                const ChecksumList& list,
                const std::vector<std::string>& names);

    // The list lists pieces of no file.
    bool Empty() const { return m_files.empty(); }
    // What the audit will hash, for a progress display.
    std::uint64_t TotalBytes() const { return m_totalBytes; }
    std::uint64_t TotalPieces() const { return m_totalPieces; }

    // Runs the audit, handing each finding to `found` as soon as it is known. `progress`
    // is called with the bytes and pieces hashed so far after every read and returns false
    // to stop the audit, which then returns false. False also, with the reason, when the
    // hashing could not start.
    bool Run(const std::function<void(const Finding&)>& found,
             const std::function<bool(std::uint64_t bytes, std::uint64_t pieces)>& progress,
             std::string* reason);

    int Checked() const { return m_checked; }
    int Failures() const { return m_failures; }

private:
    // One piece number of one file: what the list says and what the folder holds.
    struct Piece {
        std::string digest;  // empty when not listed
        bool present = false;
    };
    struct ListedFile {
        std::string name;
        std::string digest;           // of the whole file; empty without a line
        std::map<int, Piece> pieces;  // by number, listed or present
        std::vector<Finding> early;   // wrong by the list alone: lines disagree
    };
    enum class Hashed { kRead, kUnreadable, kStopped };
    // A finding that may wait for a piece's digest: then `digest` is the pool's number for
    // it and `listed` what the list says.
    struct Pending {
        Finding finding;
        int digest = 0;
        std::string listed;
    };

    bool Check(const ListedFile& file);
    // Reports the pending findings in order until `keep` are left; false when one was.
    bool Settle(std::vector<Pending>* pending, std::size_t keep);
    Hashed Hash(const std::string& path, std::string* reason);
    void Report(Finding finding);

    const std::string m_folder;  // with a separator at its end
    std::vector<int> m_malformed;
    std::vector<ListedFile> m_files;
    std::uint64_t m_totalBytes = 0;
    std::uint64_t m_totalPieces = 0;
    std::function<void(const Finding&)> m_found;
    std::function<bool(std::uint64_t, std::uint64_t)> m_progress;
    DigestPool m_pool;
    int m_pieceDigests = 0;  // the pool's consumers
    int m_fileDigest = 0;
    std::uint64_t m_bytes = 0;
    int m_checked = 0;
    int m_failures = 0;
};

}  // namespace sums
