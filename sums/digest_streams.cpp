// The chunk pool between the supplier and the two hashers. Each chunk is handed over under
// the lock and then read or written without it: the supplier fills only chunks that both
// hashers are past, the hashers read only chunks already published.
#include "sums/digest_streams.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "platform/sha256.h"
#include "platform/system_error.h"

namespace sums {

namespace {

// Large enough that the lock is taken rarely, small enough that the pool stays in the
// processor's cache. A full pool lets the supplier go on only once half of it is free, so
// that it is woken once per several chunks rather than for each.
constexpr std::size_t kChunkSize = std::size_t{256} << 10;
constexpr std::size_t kChunks = 16;
constexpr std::size_t kLowWater = kChunks / 2;

}  // namespace

DigestStreams::DigestStreams() : m_chunks(kChunks) {}

DigestStreams::~DigestStreams() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_work.notify_all();
    m_room.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

bool DigestStreams::Start(std::string* reason) {
    try {
        for (Chunk& chunk : m_chunks) {
            chunk.data.reset(new char[kChunkSize]);
        }
        m_threads.emplace_back(&DigestStreams::Hash, this, kPieces);
        m_threads.emplace_back(&DigestStreams::Hash, this, kWhole);
    } catch (const std::system_error& error) {
        *reason = error.what();
        return false;
    } catch (const std::bad_alloc&) {
        *reason = "out of memory";
        return false;
    }
    return true;
}

std::uint64_t DigestStreams::InUse() const {
    return m_published - std::min(m_done[kPieces], m_done[kWhole]);
}

DigestStreams::Chunk* DigestStreams::Filling() {
    if (!m_filling) {
        std::unique_lock<std::mutex> guard(m_lock);
        if (InUse() == kChunks) {
            m_supplierWaits = true;
            m_room.wait(guard, [this] { return m_stop || InUse() <= kLowWater; });
            m_supplierWaits = false;
        }
        Chunk& chunk = m_chunks[m_published % kChunks];
        chunk.size = 0;
        chunk.pieceEnd = false;
        chunk.wholeEnd = false;
        m_filling = true;
    }
    return &m_chunks[m_published % kChunks];
}

void DigestStreams::Publish() {
    bool wake = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_stop) {
            return;
        }
        ++m_published;
        m_filling = false;
        wake = m_hasherWaits[kPieces] || m_hasherWaits[kWhole];
    }
    if (wake) {
        m_work.notify_all();
    }
}

void DigestStreams::Add(const char* data, std::size_t size) {
    while (size > 0) {
        Chunk* chunk = Filling();
        const std::size_t room = kChunkSize - chunk->size;
        const std::size_t part = size < room ? size : room;
        std::memcpy(chunk->data.get() + chunk->size, data, part);
        chunk->size += part;
        data += part;
        size -= part;
        if (chunk->size == kChunkSize) {
            Publish();
        }
    }
}

int DigestStreams::EndPiece() {
    Filling()->pieceEnd = true;
    Publish();
    return ++m_piecesEnded;
}

int DigestStreams::EndWhole() {
    Filling()->wholeEnd = true;
    Publish();
    return ++m_wholesEnded;
}

void DigestStreams::Hash(Stream stream) {
    platform::Sha256 sha;
    bool failed = false;
    for (;;) {
        const Chunk* chunk = nullptr;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            if (!m_stop && m_done[stream] == m_published) {
                m_hasherWaits[stream] = true;
                m_work.wait(guard, [&] { return m_stop || m_done[stream] < m_published; });
                m_hasherWaits[stream] = false;
            }
            if (m_stop) {
                return;
            }
            chunk = &m_chunks[m_done[stream] % kChunks];
        }
        std::string reason;
        std::string digest;
        const bool ends = stream == kPieces ? chunk->pieceEnd : chunk->wholeEnd;
        if (!failed && ((chunk->size > 0 && !sha.Update(chunk->data.get(), chunk->size)) ||
                        (ends && !sha.Finish(&digest)))) {
            reason = platform::LastSystemError();
            if (reason.empty()) {
                reason = "hashing failed";
            }
            failed = true;
        }
        bool wake = false;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            ++m_done[stream];
            if (!reason.empty() && m_failure.empty()) {
                m_failure = reason;
            }
            if (ends && !failed) {
                m_digests[stream].push_back(digest);
            }
            // The supplier waits for room, or for a digest, or to learn of a failure.
            wake = m_supplierWaits && (InUse() <= kLowWater || ends || !reason.empty());
        }
        if (wake) {
            m_room.notify_one();
        }
    }
}

bool DigestStreams::WaitDigest(const std::vector<std::string>& digests,
                               int number,
                               std::string* hex) {
    const std::size_t count = static_cast<std::size_t>(number);
    std::unique_lock<std::mutex> guard(m_lock);
    m_supplierWaits = true;
    m_room.wait(guard, [&] { return !m_failure.empty() || m_stop || digests.size() >= count; });
    m_supplierWaits = false;
    if (digests.size() < count) {
        return false;
    }
    *hex = digests[count - 1];
    return true;
}

bool DigestStreams::PieceDigest(int number, std::string* hex) {
    return WaitDigest(m_digests[kPieces], number, hex);
}

bool DigestStreams::WholeDigest(int number, std::string* hex) {
    return WaitDigest(m_digests[kWhole], number, hex);
}

std::string DigestStreams::Failure() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_failure.empty() ? "hashing stopped" : m_failure;
}

}  // namespace sums
