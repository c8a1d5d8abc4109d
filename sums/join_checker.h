// A join checked against the SHA256SUMS among its pieces, when that list lists the joined
// file: the pieces' numbers before anything is made, every piece before it is reported or
// deleted, and the whole file before it takes its name. When the list has a line for every
// piece joined, the whole file is the pieces checked one after another, so its own line is
// not hashed again; it is hashed when the list has no piece lines. A mismatch is a finding
// that says what is wrong. The list is read as sha256sum reads it and fails closed: a list
// that cannot be read, a line that cannot be read or lines that disagree are failures too.
// The join calls it at its moments (folder/join_verifier.h); each check that fails returns
// false, and Failure() says why.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sums/checksum_list.h"
#include "sums/digest_pool.h"
#include "sums/finding.h"

namespace sums {

class JoinChecker {
public:
    // Reads the list in `piecesFolder`, if it has one. Call before Start; without it nothing
    // is checked.
    void ReadList(const std::string& piecesFolder);
    // Starts the hashing when there is something to check; false with the reason when it
    // could not start.
    bool Start(std::string* reason);

    // The join has found pieces of these lengths, 1 to N, for `outputName`, and has made
    // nothing yet: their number is checked.
    bool Begin(const std::string& outputName, const std::vector<std::uint64_t>& pieceLengths);
    // A buffer of the digest pool to read the bytes into (JobObserver::ReadBuffer).
    char* ReadBuffer(std::size_t* size);
    // The bytes joined, in order.
    void PieceBytes(const char* data, std::size_t size);
    // Ends the piece's digest, which is judged in PieceVerdict: the job copies the next piece
    // while this one is hashed.
    void PieceDone(int number);
    bool PieceVerdict(int number);
    // Every piece is joined into the file `fileName`: its own line is checked where needed.
    bool WholeFile(const std::string& fileName);

    // The folder has a list (read or not).
    bool HasList() const { return m_listState != ListState::kNone; }
    const std::string& ListPath() const { return m_listPath; }
    // Known once the join has begun (Begin has run by then): without checksums to check, the
    // bytes are not needed, and the system may copy them.
    bool Verifying() const { return m_verifying; }
    const std::string& OutputName() const { return m_outputName; }
    std::uint64_t TotalBytes() const { return m_totalBytes; }
    std::uint64_t PieceCount() const { return m_pieceCount; }
    // The highest piece copied whole so far (joined now, or found in the output a join goes
    // on from), before it is judged or deleted; read from any thread.
    std::uint64_t PiecesJoined() const { return m_piecesJoined.load(); }

    // After a check that failed: what was wrong.
    bool Failed() const { return m_failed; }
    const Finding& Failure() const { return m_failure; }

private:
    enum class ListState { kNone, kRead, kUnreadable };

    bool Fail(Finding finding);
    bool Fail(Finding::Kind kind, const std::string& name, int piece);

    ListState m_listState = ListState::kNone;
    std::string m_listPath;
    std::string m_listReason;
    ChecksumList m_list;
    DigestPool m_pool;
    SplitChecksums m_listed;
    bool m_verifying = false;
    // The pool's consumers, -1 when not needed: the pieces' digests, and the file's only
    // when the list has no lines for its pieces.
    int m_pieceDigests = -1;
    int m_fileDigest = -1;
    std::uint64_t m_checked = 0;  // pieces found as listed
    std::map<int, int> m_ended;   // the pool's digest number of each piece ended, by piece
    std::string m_outputName;
    std::uint64_t m_totalBytes = 0;
    std::uint64_t m_pieceCount = 0;
    std::atomic<std::uint64_t> m_piecesJoined{0};
    bool m_failed = false;
    Finding m_failure;
};

}  // namespace sums
