// One read of the file feeds every checksum. A file that is exactly one slice long has one
// MD5 for both, computed once.
#include "recovery/piece_hasher.h"

#include <algorithm>

#include "platform/file.h"
#include "platform/system_error.h"
#include "recovery/crc32.h"

namespace recovery {

namespace {

constexpr std::size_t kReadSize = std::size_t{64} << 10;

}  // namespace

const unsigned char kSlicePadding[4096] = {};

PieceHasher::PieceHasher()
    : m_whole(platform::HashAlgorithm::kMd5),
      m_slice(platform::HashAlgorithm::kMd5),
      m_first(platform::HashAlgorithm::kMd5) {}

PieceHasher::Outcome PieceHasher::Hash(const std::string& path,
                                       std::uint64_t sliceSize,
                                       const KeepGoing* keepGoing,
                                       std::atomic<bool>* stop,
                                       PieceHashes* hashes,
                                       std::string* reason,
                                       std::uint64_t limit) {
    auto fail = [&] {
        *reason = platform::LastSystemError();
        return Outcome::kFailed;
    };
    platform::File file;
    std::uint64_t length = 0;
    if (!file.Open(path, platform::File::Access::kReadShareDenyWrite) || !file.Length(&length)) {
        return fail();
    }
    hashes->length = length;
    hashes->slices.clear();
    length = std::min(length, limit);
    const bool oneSlice = length == sliceSize;
    if (!m_whole.Begin() || !m_first.Begin() || (!oneSlice && !m_slice.Begin())) {
        return fail();
    }
    m_buffer.resize(kReadSize);
    std::uint64_t done = 0;
    std::uint64_t inSlice = 0;
    std::uint32_t crc = 0;
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
    platform::Hash& slice = oneSlice ? m_whole : m_slice;
    bool stopped = false;
    auto endSlice = [&]() {
        // The last slice is zero-padded to the full size.
        for (std::uint64_t pad = sliceSize - inSlice; pad > 0;) {
            const std::size_t step =
                static_cast<std::size_t>(std::min<std::uint64_t>(pad, sizeof kSlicePadding));
            if ((!oneSlice && !slice.Update(kSlicePadding, step))) {
                return false;
            }
            crc = Crc32(crc, kSlicePadding, step);
            pad -= step;
            if (!goOn(step)) {
                stopped = true;
                return false;
            }
        }
        SliceChecksum checksum;
        if (!oneSlice && !slice.End(checksum.md5.data())) {
            return false;
        }
        checksum.crc32 = crc;
        hashes->slices.push_back(checksum);
        crc = 0;
        inSlice = 0;
        return oneSlice || slice.Begin();
    };
    const auto endFailed = [&] { return stopped ? Outcome::kStopped : fail(); };
    while (done < length) {
        const std::int64_t got = file.Read(m_buffer.data(), m_buffer.size());
        if (got <= 0) {
            if (got == 0) {
                *reason = "the file became shorter while it was read";
                return Outcome::kFailed;
            }
            return fail();
        }
        const unsigned char* p = m_buffer.data();
        std::size_t left = static_cast<std::size_t>(std::min<std::uint64_t>(got, length - done));
        if (done < kFirstPartLength &&
            !m_first.Update(p, static_cast<std::size_t>(
                                   std::min<std::uint64_t>(left, kFirstPartLength - done)))) {
            return fail();
        }
        if (!oneSlice && !m_whole.Update(p, left)) {
            return fail();
        }
        done += left;
        while (left > 0) {
            const std::size_t step =
                static_cast<std::size_t>(std::min<std::uint64_t>(left, sliceSize - inSlice));
            if (!slice.Update(p, step)) {
                return fail();
            }
            crc = Crc32(crc, p, step);
            inSlice += step;
            p += step;
            left -= step;
            if (inSlice == sliceSize && !endSlice()) {
                return endFailed();
            }
        }
        if (!goOn(static_cast<std::uint64_t>(got))) {
            return Outcome::kStopped;
        }
    }
    if (inSlice > 0 && !endSlice()) {
        return endFailed();
    }
    if (!m_whole.End(hashes->md5.data()) || !m_first.End(hashes->md5First16k.data())) {
        return fail();
    }
    if (oneSlice) {
        hashes->slices.front().md5 = hashes->md5;
    }
    return file.Close() ? Outcome::kHashed : fail();
}

}  // namespace recovery
