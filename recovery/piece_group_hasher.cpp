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

}  // namespace

PieceHasher::Outcome PieceGroupHasher::Hash(const std::vector<std::string>& paths,
                                            std::uint64_t length,
                                            std::uint64_t sliceSize,
                                            const KeepGoing* keepGoing,
                                            std::atomic<bool>* stop,
                                            PieceHashes* hashes,
                                            std::size_t* failed,
                                            std::string* reason) {
    const std::size_t count = paths.size();
    auto fail = [&](std::size_t index) {
        *failed = index;
        return PieceHasher::Outcome::kFailed;
    };
    platform::File files[kMost];
    for (std::size_t i = 0; i < count; ++i) {
        std::uint64_t found = 0;
        if (!files[i].Open(paths[i], platform::File::Access::kReadShareDenyWrite) ||
            !files[i].Length(&found)) {
            *reason = platform::LastSystemError();
            return fail(i);
        }
        if (found != length) {
            *reason = "the file changed while it was read";
            return fail(i);
        }
        hashes[i] = PieceHashes();
        hashes[i].length = length;
    }
    const bool oneSlice = length == sliceSize;
    m_whole.Begin();
    m_slice.Begin();
    m_buffer.resize(kMost * kGroupReadSize);
    std::uint32_t crc[kMost] = {};
    Md5Digest first[kMost] = {};
    Md5Digest digests[kMost] = {};
    bool haveFirst = false;
    std::uint64_t inSlice = 0;
    // Feeds every lane `size` bytes from `lanes` (lanes past `count` repeat the first).
    const auto feed = [&](const unsigned char* const lanes[kMost], std::size_t size) {
        m_whole.Update(lanes, size);
        if (!oneSlice) {
            m_slice.Update(lanes, size);
        }
        for (std::size_t i = 0; i < count; ++i) {
            crc[i] = Crc32(crc[i], lanes[i], size);
        }
        inSlice += size;
    };
    const auto endSlice = [&]() {
        if (!oneSlice) {
            m_slice.Finish(digests);
        }
        for (std::size_t i = 0; i < count; ++i) {
            SliceChecksum checksum;
            checksum.md5 = digests[i];
            checksum.crc32 = crc[i];
            hashes[i].slices.push_back(checksum);
            crc[i] = 0;
        }
        inSlice = 0;
    };
    std::uint64_t sinceAsked = 0;
    // False once the work is to stop: asked after every few MiB read or padded.
    const auto goOn = [&](std::uint64_t work) {
        sinceAsked += work;
        if (sinceAsked >= kKeepGoingInterval) {
            sinceAsked = 0;
            if (keepGoing != nullptr && *keepGoing && !(*keepGoing)()) {
                stop->store(true);
            }
        }
        return !stop->load();
    };
    for (std::uint64_t done = 0; done < length;) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kGroupReadSize, length - done));
        const unsigned char* lanes[kMost];
        for (std::size_t i = 0; i < kMost; ++i) {
            lanes[i] = m_buffer.data() + (i < count ? i : 0) * kGroupReadSize;
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (!ReadFully(files[i], m_buffer.data() + i * kGroupReadSize, want, reason)) {
                return fail(i);
            }
        }
        for (std::size_t at = 0; at < want;) {
            std::uint64_t step = std::min<std::uint64_t>(want - at, sliceSize - inSlice);
            if (!haveFirst) {
                step = std::min<std::uint64_t>(step, kFirstPartLength - (done + at));
            }
            const unsigned char* from[kMost];
            for (std::size_t i = 0; i < kMost; ++i) {
                from[i] = lanes[i] + at;
            }
            feed(from, static_cast<std::size_t>(step));
            at += static_cast<std::size_t>(step);
            if (!haveFirst && done + at == std::min(length, kFirstPartLength)) {
                Md5Lanes firstPart = m_whole;
                firstPart.Finish(first);
                haveFirst = true;
            }
            if (inSlice == sliceSize) {
                endSlice();
            }
        }
        done += want;
        if (!goOn(want * count)) {
            return PieceHasher::Outcome::kStopped;
        }
    }
    if (inSlice > 0) {
        // The last slice is zero-padded to the full size, for its MD5 and CRC alike.
        const unsigned char* zeros[kMost];
        std::fill(zeros, zeros + kMost, kSlicePadding);
        while (inSlice < sliceSize) {
            const std::size_t step = static_cast<std::size_t>(
                std::min<std::uint64_t>(sliceSize - inSlice, sizeof kSlicePadding));
            m_slice.Update(zeros, step);
            for (std::size_t i = 0; i < count; ++i) {
                crc[i] = Crc32(crc[i], kSlicePadding, step);
            }
            inSlice += step;
            if (!goOn(step * count)) {
                return PieceHasher::Outcome::kStopped;
            }
        }
        endSlice();
    }
    m_whole.Finish(digests);
    for (std::size_t i = 0; i < count; ++i) {
        hashes[i].md5 = digests[i];
        hashes[i].md5First16k = first[i];
        if (oneSlice) {
            hashes[i].slices.front().md5 = digests[i];
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!files[i].Close()) {
            *reason = platform::LastSystemError();
            return fail(i);
        }
    }
    return PieceHasher::Outcome::kHashed;
}

}  // namespace recovery
