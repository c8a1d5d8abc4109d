// Every file of the group is at the same offset after each round of reads, so the slice
// ends, the first 16 KiB and the zero padding fall at the same place in every lane.
#include "recovery/piece_group_hasher.h"

#include <algorithm>

#include "platform/file.h"
#include "platform/system_error.h"
#include "recovery/crc32.h"

namespace recovery {

namespace {

// Small enough that a stretch of every file stays in the cache until it is hashed.
constexpr std::size_t kGroupReadSize = std::size_t{8} << 10;

// Reads exactly `size` bytes; false with `reason` set otherwise.
bool ReadFully(platform::File& file, unsigned char* buffer, std::size_t size, std::string* reason) {
    while (size > 0) {
        const std::int64_t got = file.Read(buffer, size);
        if (got <= 0) {
            *reason = got == 0 ? "the file became shorter while it was read"
                               : platform::LastSystemError();
            return false;
        }
        buffer += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

// One group's hashing: the files opened, read a stretch of each at a time, fed to the lanes
// and the CRCs, the last slice padded, the digests taken.
class GroupRun {
public:
    using Outcome = PieceHasher::Outcome;

    GroupRun(Md5Lanes* whole,
             Md5Lanes* slice,
             std::vector<unsigned char>* buffer,
             std::uint64_t length,
             std::uint64_t sliceSize,
             const KeepGoing* keepGoing,
             std::atomic<bool>* stop)
        : m_whole(*whole),
          m_slice(*slice),
          m_buffer(*buffer),
          m_length(length),
          m_sliceSize(sliceSize),
          m_oneSlice(length == sliceSize),
          m_keepGoing(keepGoing),
          m_stop(stop) {}

    Outcome Hash(const std::vector<std::string>& paths,
                 PieceHashes* hashes,
                 std::size_t* failed,
                 std::string* reason) {
        m_count = paths.size();
        m_hashes = hashes;
        m_failed = failed;
        m_reason = reason;
        if (!Open(paths)) {
            return Outcome::kFailed;
        }
        m_whole.Begin();
        m_slice.Begin();
        m_buffer.resize(PieceGroupHasher::kMost * kGroupReadSize);
        while (m_done < m_length) {
            const std::size_t want = static_cast<std::size_t>(
                std::min<std::uint64_t>(kGroupReadSize, m_length - m_done));
            if (!ReadRound(want)) {
                return Outcome::kFailed;
            }
            FeedRound(want);
            m_done += want;
            if (!GoOn(want * m_count)) {
                return Outcome::kStopped;
            }
        }
        if (m_inSlice > 0 && !PadLastSlice()) {
            return Outcome::kStopped;
        }
        TakeDigests();
        return Close() ? Outcome::kHashed : Outcome::kFailed;
    }

private:
    static constexpr std::size_t kLanes = PieceGroupHasher::kMost;

    bool Fail(std::size_t index, const std::string& reason) {
        *m_failed = index;
        *m_reason = reason;
        return false;
    }

    // Every file opened, and of the length the group was made for.
    bool Open(const std::vector<std::string>& paths) {
        for (std::size_t i = 0; i < m_count; ++i) {
            std::uint64_t found = 0;
            if (!m_files[i].Open(paths[i], platform::File::Access::kReadShareDenyWrite) ||
                !m_files[i].Length(&found)) {
                return Fail(i, platform::LastSystemError());
            }
            if (found != m_length) {
                return Fail(i, "the file changed while it was read");
            }
            m_hashes[i] = PieceHashes();
            m_hashes[i].length = m_length;
        }
        return true;
    }

    // The next `want` bytes of each file, into its stretch of the buffer.
    bool ReadRound(std::size_t want) {
        for (std::size_t i = 0; i < m_count; ++i) {
            std::string reason;
            if (!ReadFully(m_files[i], m_buffer.data() + i * kGroupReadSize, want, &reason)) {
                return Fail(i, reason);
            }
        }
        return true;
    }

    // The round's bytes, cut where a slice ends and where the first 16 KiB do.
    void FeedRound(std::size_t want) {
        for (std::size_t at = 0; at < want;) {
            std::uint64_t step = std::min<std::uint64_t>(want - at, m_sliceSize - m_inSlice);
            if (!m_haveFirst) {
                step = std::min<std::uint64_t>(step, kFirstPartLength - (m_done + at));
            }
            const unsigned char* from[kLanes];
            for (std::size_t i = 0; i < kLanes; ++i) {
                // Lanes past the group's files repeat the first.
                from[i] = m_buffer.data() + (i < m_count ? i : 0) * kGroupReadSize + at;
            }
            Feed(from, static_cast<std::size_t>(step));
            at += static_cast<std::size_t>(step);
            if (!m_haveFirst && m_done + at == std::min(m_length, kFirstPartLength)) {
                Md5Lanes firstPart = m_whole;
                firstPart.Finish(m_first);
                m_haveFirst = true;
            }
            if (m_inSlice == m_sliceSize) {
                EndSlice();
            }
        }
    }

    void Feed(const unsigned char* const lanes[kLanes], std::size_t size) {
        m_whole.Update(lanes, size);
        if (!m_oneSlice) {
            m_slice.Update(lanes, size);
        }
        for (std::size_t i = 0; i < m_count; ++i) {
            m_crc[i] = Crc32(m_crc[i], lanes[i], size);
        }
        m_inSlice += size;
    }

    void EndSlice() {
        if (!m_oneSlice) {
            m_slice.Finish(m_digests);
        }
        for (std::size_t i = 0; i < m_count; ++i) {
            SliceChecksum checksum;
            checksum.md5 = m_digests[i];
            checksum.crc32 = m_crc[i];
            m_hashes[i].slices.push_back(checksum);
            m_crc[i] = 0;
        }
        m_inSlice = 0;
    }

    // The last slice is zero-padded to the full size, for its MD5 and CRC alike. False when
    // the work is to stop.
    bool PadLastSlice() {
        const unsigned char* zeros[kLanes];
        std::fill(zeros, zeros + kLanes, kSlicePadding);
        while (m_inSlice < m_sliceSize) {
            const std::size_t step = static_cast<std::size_t>(
                std::min<std::uint64_t>(m_sliceSize - m_inSlice, sizeof kSlicePadding));
            m_slice.Update(zeros, step);
            for (std::size_t i = 0; i < m_count; ++i) {
                m_crc[i] = Crc32(m_crc[i], kSlicePadding, step);
            }
            m_inSlice += step;
            if (!GoOn(step * m_count)) {
                return false;
            }
        }
        EndSlice();
        return true;
    }

    void TakeDigests() {
        // A file of exactly one slice has one MD5 for both, the whole file's.
        m_whole.Finish(m_digests);
        for (std::size_t i = 0; i < m_count; ++i) {
            m_hashes[i].md5 = m_digests[i];
            m_hashes[i].md5First16k = m_first[i];
            if (m_oneSlice) {
                m_hashes[i].slices.front().md5 = m_digests[i];
            }
        }
    }

    bool Close() {
        for (std::size_t i = 0; i < m_count; ++i) {
            if (!m_files[i].Close()) {
                return Fail(i, platform::LastSystemError());
            }
        }
        return true;
    }

    // False once the work is to stop: asked after every few MiB read or padded.
    bool GoOn(std::uint64_t work) {
        m_sinceAsked += work;
        if (m_sinceAsked >= kKeepGoingInterval) {
            m_sinceAsked = 0;
            if (m_keepGoing != nullptr && *m_keepGoing && !(*m_keepGoing)()) {
                m_stop->store(true);
            }
        }
        return !m_stop->load();
    }

    Md5Lanes& m_whole;
    Md5Lanes& m_slice;
    std::vector<unsigned char>& m_buffer;
    const std::uint64_t m_length;
    const std::uint64_t m_sliceSize;
    const bool m_oneSlice;
    const KeepGoing* const m_keepGoing;
    std::atomic<bool>* const m_stop;
    std::size_t m_count = 0;
    PieceHashes* m_hashes = nullptr;
    std::size_t* m_failed = nullptr;
    std::string* m_reason = nullptr;
    platform::File m_files[kLanes];
    std::uint32_t m_crc[kLanes] = {};
    Md5Digest m_first[kLanes] = {};
    Md5Digest m_digests[kLanes] = {};
    bool m_haveFirst = false;
    std::uint64_t m_done = 0;
    std::uint64_t m_inSlice = 0;
    std::uint64_t m_sinceAsked = 0;
};

}  // namespace

PieceHasher::Outcome PieceGroupHasher::Hash(const std::vector<std::string>& paths,
                                            std::uint64_t length,
                                            std::uint64_t sliceSize,
                                            const KeepGoing* keepGoing,
                                            std::atomic<bool>* stop,
                                            PieceHashes* hashes,
                                            std::size_t* failed,
                                            std::string* reason) {
    GroupRun run(&m_whole, &m_slice, &m_buffer, length, sliceSize, keepGoing, stop);
    return run.Hash(paths, hashes, failed, reason);
}

}  // namespace recovery
