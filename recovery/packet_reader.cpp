// The packet scan: find the magic, check the length against what the type allows and what
// the file holds, check the MD5, then the fields. The magic is looked for in a window that
// moves forward only, so the file is read about once however many false headers it holds.
// Bytes hashed for packets that fail are bounded by twice the file's length; past that a
// failed packet is skipped whole, so a file of forged headers costs linear time. The caller
// is asked whether to go on after every few MiB of reading or hashing.
//
// SECANTO_FUZZING, defined only by the fuzzing build, takes every packet's MD5 for a match,
// so that made-up bytes reach the parsing of the fields.
#include "recovery/packet_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "recovery/slice_constants.h"

namespace recovery {

namespace {

constexpr std::size_t kWindow = 1 << 16;

// The bytes of the file around the scan's position, read once as the scan moves forward.
class Window {
public:
    // The offset of the next magic at or after `from`, or the source's length; `read` counts
    // the bytes read for it.
    bool FindMagic(ByteSource& source,
                   std::uint64_t from,
                   std::uint64_t* found,
                   std::uint64_t* read) {
        const std::uint64_t length = source.Length();
        while (from + sizeof kPacketMagic <= length) {
            if (from < m_start || from + sizeof kPacketMagic > m_start + m_bytes.size()) {
                const std::size_t size =
                    static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, length - from));
                m_bytes.resize(size);
                if (!source.ReadAt(from, m_bytes.data(), size)) {
                    m_bytes.clear();
                    return false;
                }
                m_start = from;
                *read += size;
            }
            const unsigned char* begin = m_bytes.data() + (from - m_start);
            const unsigned char* end = m_bytes.data() + m_bytes.size();
            const unsigned char* hit =
                std::search(begin, end, kPacketMagic, kPacketMagic + sizeof kPacketMagic);
            if (hit != end) {
                *found = m_start + static_cast<std::uint64_t>(hit - m_bytes.data());
                return true;
            }
            // The magic may straddle this window and the next.
            from = m_start + m_bytes.size() - (sizeof kPacketMagic - 1);
            if (m_start + m_bytes.size() == length) {
                break;
            }
        }
        *found = length;
        return true;
    }

    // Reads `size` bytes at `offset`: from the window where it holds them, so that a file
    // of false headers costs no system call for each.
    bool ReadAt(ByteSource& source, std::uint64_t offset, void* buffer, std::size_t size) {
        if (size == 0) {
            return true;  // an empty body has no buffer to copy into
        }
        if (offset >= m_start && offset + size <= m_start + m_bytes.size()) {
            std::memcpy(buffer, m_bytes.data() + (offset - m_start), size);
            return true;
        }
        return source.ReadAt(offset, buffer, size);
    }

private:
    std::uint64_t m_start = 0;
    std::vector<unsigned char> m_bytes;
};

std::string WithoutTrailingZeros(const unsigned char* p, std::size_t size) {
    while (size > 0 && p[size - 1] == 0) {
        --size;
    }
    return std::string(reinterpret_cast<const char*>(p), size);
}

// The fields of a metadata packet: false when they cannot be so.
bool Parse(PacketType type,
           const Md5Digest& setId,
           const std::vector<unsigned char>& body,
           const Md5Digest& bodyHash,
           PacketCollection* packets) {
    const unsigned char* p = body.data();
    const std::size_t size = body.size();
    switch (type) {
        case PacketType::kMain: {
            if (size < 12 || (size - 12) % 16 != 0) {
                return false;
            }
            MainPacket main;
            main.setId = setId;
            main.bodyHash = bodyHash;
            main.sliceSize = ReadLe64(p);
            const std::uint32_t recoverable = ReadLe32(p + 8);
            const std::size_t ids = (size - 12) / 16;
            if (main.sliceSize == 0 || main.sliceSize % 4 != 0 ||
                main.sliceSize > PacketReader::kMaxSliceSize || recoverable > ids) {
                return false;
            }
            for (std::size_t i = 0; i < ids; ++i) {
                (i < recoverable ? main.recoveryFileIds : main.otherFileIds)
                    .push_back(DigestAt(p + 12 + 16 * i));
            }
            packets->mains.push_back(std::move(main));
            return true;
        }
        case PacketType::kFileDescription: {
            if (size < 56) {
                return false;
            }
            FileDescriptionPacket file;
            file.setId = setId;
            file.fileId = DigestAt(p);
            file.md5 = DigestAt(p + 16);
            file.md5First16k = DigestAt(p + 32);
            file.length = ReadLe64(p + 48);
            file.name = WithoutTrailingZeros(p + 56, size - 56);
            if (file.name.empty()) {
                return false;
            }
            packets->files.push_back(std::move(file));
            return true;
        }
        case PacketType::kSliceChecksums: {
            if (size < 16 || (size - 16) % 20 != 0 || (size - 16) / 20 > kMaxInputSlices) {
                return false;
            }
            SliceChecksumPacket checksums;
            checksums.setId = setId;
            checksums.fileId = DigestAt(p);
            for (std::size_t at = 16; at < size; at += 20) {
                checksums.slices.push_back({DigestAt(p + at), ReadLe32(p + at + 16)});
            }
            packets->sliceChecksums.push_back(std::move(checksums));
            return true;
        }
        case PacketType::kCreator:
            packets->creators.push_back({setId, WithoutTrailingZeros(p, size)});
            return true;
        case PacketType::kUnicodeName: {
            if (size < 16) {
                return false;
            }
            UnicodeNamePacket name;
            name.setId = setId;
            name.fileId = DigestAt(p);
            for (std::size_t at = 16; at + 1 < size; at += 2) {
                name.name.push_back(static_cast<char16_t>(p[at] | p[at + 1] << 8));
            }
            while (!name.name.empty() && name.name.back() == 0) {
                name.name.pop_back();
            }
            if (name.name.empty()) {
                return false;
            }
            packets->unicodeNames.push_back(std::move(name));
            return true;
        }
        default:
            return false;
    }
}

}  // namespace

PacketReader::Outcome PacketReader::Read(ByteSource& source,
                                         const KeepGoing& keepGoing,
                                         PacketCollection* packets) {
    const std::uint64_t length = source.Length();
    std::uint64_t failedBudget = 2 * length + (std::uint64_t{1} << 20);
    Window window;
    std::vector<unsigned char> body;
    std::vector<unsigned char> chunk;
    unsigned char header[kPacketHeaderSize];
    std::uint64_t position = 0;
    std::uint64_t work = 0;  // bytes read or hashed since the caller was last asked
    const auto goOn = [&] {
        if (work < kKeepGoingInterval) {
            return true;
        }
        work = 0;
        return !keepGoing || keepGoing();
    };
    for (;;) {
        if (!window.FindMagic(source, position, &position, &work)) {
            return Outcome::kReadError;
        }
        if (!goOn()) {
            return Outcome::kStopped;
        }
        if (position + kPacketHeaderSize > length) {
            return Outcome::kRead;
        }
        if (!window.ReadAt(source, position, header, sizeof header)) {
            return Outcome::kReadError;
        }
        work += sizeof header;
        const std::uint64_t packetLength = ReadLe64(header + kLengthAt);
        const PacketType type = PacketTypeOf(header + kTypeAt);
        bool plausible = packetLength >= kPacketHeaderSize && packetLength % 4 == 0 &&
                         packetLength <= length - position;
        const std::uint64_t bodyLength = plausible ? packetLength - kPacketHeaderSize : 0;
        if (type == PacketType::kRecoverySlice) {
            // The exponent and at least one word of data.
            plausible = plausible && bodyLength >= 8 && bodyLength - 4 <= kMaxSliceSize;
        } else {
            plausible = plausible && bodyLength <= kMaxMetadataBody;
        }
        if (type == PacketType::kUnknown || !plausible) {
            // Unknown packets are not this reader's to judge; look on past their magic.
            packets->damaged += type != PacketType::kUnknown;
            position += 1;
            continue;
        }
        const Md5Digest setId = DigestAt(header + kSetIdAt);
        bool hashed = m_hash.Begin() && m_hash.Update(header + kSetIdAt, 32);
        std::uint32_t exponent = 0;
        if (type == PacketType::kRecoverySlice) {
            chunk.resize(std::min<std::uint64_t>(bodyLength, kWindow * 16));
            for (std::uint64_t done = 0; hashed && done < bodyLength;) {
                const std::size_t step = static_cast<std::size_t>(
                    std::min<std::uint64_t>(chunk.size(), bodyLength - done));
                if (!source.ReadAt(position + kPacketHeaderSize + done, chunk.data(), step)) {
                    return Outcome::kReadError;
                }
                if (done == 0) {
                    exponent = ReadLe32(chunk.data());
                }
                hashed = m_hash.Update(chunk.data(), step);
                done += step;
                work += step;
                if (!goOn()) {
                    return Outcome::kStopped;
                }
            }
        } else {
            body.resize(static_cast<std::size_t>(bodyLength));
            if (!window.ReadAt(source, position + kPacketHeaderSize, body.data(), body.size())) {
                return Outcome::kReadError;
            }
            hashed = hashed && m_hash.Update(body.data(), body.size());
            work += body.size();
        }
        unsigned char digest[16];
        if (!hashed || !m_hash.End(digest)) {
            return Outcome::kReadError;
        }
#ifdef SECANTO_FUZZING
        std::memcpy(digest, header + kPacketHashAt, sizeof digest);
#endif
        bool sound = std::memcmp(digest, header + kPacketHashAt, 16) == 0;
        if (sound && type == PacketType::kRecoverySlice) {
            sound = exponent < 65535;
            if (sound) {
                packets->recoverySlices.push_back({setId, exponent,
                                                   position + kPacketHeaderSize + 4, bodyLength - 4,
                                                   DigestAt(digest)});
            }
        } else if (sound) {
            Md5Digest bodyHash{};
            if (type == PacketType::kMain &&
                !(m_hash.Begin() && m_hash.Update(body.data(), body.size()) &&
                  m_hash.End(bodyHash.data()))) {
                return Outcome::kReadError;
            }
            sound = Parse(type, setId, body, bodyHash, packets);
        }
        if (sound) {
            position += packetLength;
            continue;
        }
        ++packets->damaged;
        if (failedBudget >= packetLength) {
            failedBudget -= packetLength;
            position += 1;
        } else {
            position += packetLength;
        }
    }
}

}  // namespace recovery
