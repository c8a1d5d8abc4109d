// Two SHA-256 digests of one run of bytes, each hashed on a thread of its own beside the
// thread that supplies the bytes: one digest per piece, restarted at every piece end, and
// one of everything up to a whole end. The supplier copies its bytes into a small pool of
// chunks and goes on at once; it waits only while every chunk is still being hashed, or
// when it asks for a digest.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sums {

class DigestStreams {
public:
    DigestStreams();
    // Stops the hashing threads, dropping what they have not hashed.
    ~DigestStreams();
    DigestStreams(const DigestStreams&) = delete;
    DigestStreams& operator=(const DigestStreams&) = delete;

    // Starts the hashing threads; false, with the reason, when they could not start.
    bool Start(std::string* reason);

    // The supplier's side, one thread, after Start: bytes, then the ends of pieces and
    // wholes. Each end returns its number: 1 for the first piece (or whole) ended, and so on.
    void Add(const char* data, std::size_t size);
    int EndPiece();
    int EndWhole();

    // Wait for a digest, as 64 lower-case hex digits. False when hashing failed; Failure
    // then says why.
    bool PieceDigest(int number, std::string* hex);
    bool WholeDigest(int number, std::string* hex);
    std::string Failure();

private:
    enum Stream { kPieces = 0, kWhole = 1 };

    struct Chunk {
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
        bool pieceEnd = false;
        bool wholeEnd = false;
    };

    void Hash(Stream stream);
    // Chunks published that a hasher still needs; under the lock.
    std::uint64_t InUse() const;
    // The chunk being filled; waits for a free one when none is.
    Chunk* Filling();
    void Publish();
    bool WaitDigest(const std::vector<std::string>& digests, int number, std::string* hex);

    std::vector<Chunk> m_chunks;
    std::mutex m_lock;
    // Waits are told apart, and a side is woken only when it waits, so that a chunk handed
    // over costs no system call while both sides keep up.
    std::condition_variable m_work;  // the hashers wait here for chunks
    std::condition_variable m_room;  // the supplier waits here for free chunks or digests
    bool m_hasherWaits[2] = {false, false};
    bool m_supplierWaits = false;
    // Counts of chunks: published to the hashers, and done with by each of them. Chunk n
    // lives in m_chunks[n % size] and is free again once both hashers are past it.
    std::uint64_t m_published = 0;
    std::uint64_t m_done[2] = {0, 0};
    bool m_stop = false;
    bool m_filling = false;  // supplier only: the chunk m_published is taken
    int m_piecesEnded = 0;   // supplier only
    int m_wholesEnded = 0;   // supplier only
    std::vector<std::string> m_digests[2];
    std::string m_failure;  // empty while all hashing succeeded
    std::vector<std::thread> m_threads;
};

}  // namespace sums
