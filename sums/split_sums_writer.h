// The SHA256SUMS lines of a split, brought up to date before the split may delete its
// source: the digests of the pieces and of the whole file written in place of that file's
// earlier lines, or, for a split without checksums, those earlier lines removed, since they
// no longer fit the new pieces. Other files' lines stay. The split hands it its bytes and
// its end (folder/split_upkeep.h).
#pragma once

#include <string>

#include "sums/digest_pool.h"

namespace sums {

class SplitSumsWriter {
public:
    // Writes the digests (true) or only removes the file's earlier lines (false).
    explicit SplitSumsWriter(bool writeSums) : m_writeSums(writeSums) {}

    // Starts the hashing; false with the reason when it could not start.
    bool Start(std::string* reason);

    // Whether the list in `folder` can take the split's lines before anything is made: false,
    // with the list's path and why, when it cannot be read (a link, a FIFO) or holds a line no
    // one can read, which the split would otherwise keep. Write checks the same again under
    // the list's lock.
    static bool CheckList(const std::string& folder, std::string* failedPath, std::string* reason);

    // A buffer of the digest pool to read the bytes into (JobObserver::ReadBuffer).
    char* ReadBuffer(std::size_t* size);
    // The bytes split, in order.
    void PieceBytes(const char* data, std::size_t size);
    bool WatchesBytes() const { return m_writeSums; }
    void PieceDone(int number);
    // Every piece of `fileName` is written into `folder` (ending with a separator): the list
    // is brought up to date. False when it could not be.
    bool Write(const std::string& folder, const std::string& fileName, int pieces);

    // After Write failed: the path at fault and why.
    const std::string& FailedPath() const { return m_failedPath; }
    const std::string& FailureReason() const { return m_reason; }

private:
    bool Fail(const std::string& path, const std::string& reason);

    const bool m_writeSums;
    DigestPool m_pool;
    int m_pieceDigests = 0;  // the pool's consumers
    int m_fileDigest = 0;
    std::string m_failedPath;
    std::string m_reason;
};

}  // namespace sums
