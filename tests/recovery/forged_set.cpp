// The forged packets, written with the library's own packet writer.
#include "tests/recovery/forged_set.h"

#include "recovery/packet_writer.h"
#include "recovery/recovery_set.h"

namespace recovery_test {

using namespace recovery;

bool ForgedSet::AddFile(const std::string& name,
                        const std::string& bytes,
                        std::uint64_t claimedLength) {
    FileDescriptionPacket file;
    PacketWriter writer;
    if (!writer.Md5(bytes.data(), bytes.size(), &file.md5)) {
        return false;
    }
    file.md5First16k = file.md5;
    file.length = claimedLength;
    file.name = name;
    if (!ComputeFileId(file.md5First16k, file.length, file.name, &file.fileId)) {
        return false;
    }
    m_files.push_back(file);
    SliceChecksumPacket checksums;
    checksums.fileId = file.fileId;
    const std::uint64_t count = claimedLength / m_sliceSize + (claimedLength % m_sliceSize != 0);
    checksums.slices.resize(count < 100 ? count : 1);
    m_checksums.push_back(checksums);
    return true;
}

bool ForgedSet::Bytes(const std::vector<std::uint32_t>& exponents, std::string* out) const {
    std::vector<Md5Digest> ids;
    for (const FileDescriptionPacket& f : m_files) {
        ids.push_back(f.fileId);
    }
    const std::string body = PacketWriter::MainBody(m_sliceSize, ids, {});
    PacketWriter writer;
    Md5Digest setId;
    if (!writer.Md5(body.data(), body.size(), &setId) ||
        !writer.Append(PacketType::kMain, setId, body, out)) {
        return false;
    }
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        if (!writer.Append(PacketType::kFileDescription, setId,
                           PacketWriter::FileDescriptionBody(m_files[i]), out) ||
            !writer.Append(PacketType::kSliceChecksums, setId,
                           PacketWriter::SliceChecksumBody(m_checksums[i]), out)) {
            return false;
        }
    }
    for (std::size_t k = 0; k < exponents.size(); ++k) {
        const std::string data(m_sliceSize, static_cast<char>('a' + k));
        std::string head;
        if (!writer.StartRecoverySlice(setId, exponents[k]) ||
            !writer.AddRecoveryData(data.data(), data.size()) ||
            !writer.FinishRecoverySlice(data.size(), &head)) {
            return false;
        }
        *out += head + data;
    }
    return true;
}

bool ForgedSet::Packet(PacketType type,
                       const Md5Digest& setId,
                       const std::string& body,
                       std::string* out) {
    PacketWriter writer;
    return writer.Append(type, setId, body, out);
}

bool ForgedSet::RecoverySlice(const Md5Digest& setId,
                              std::uint32_t exponent,
                              const std::string& data,
                              std::string* out) {
    PacketWriter writer;
    std::string head;
    if (!writer.StartRecoverySlice(setId, exponent) ||
        !writer.AddRecoveryData(data.data(), data.size()) ||
        !writer.FinishRecoverySlice(data.size(), &head)) {
        return false;
    }
    *out += head + data;
    return true;
}

Md5Digest ForgedSet::SetIdOf(const std::string& bytes) {
    return DigestAt(reinterpret_cast<const unsigned char*>(bytes.data()) + kSetIdAt);
}

bool ForgedSet::Reforge(std::string* bytes) {
    PacketWriter writer;
    const char* recovery = PacketTypeTag(PacketType::kRecoverySlice);
    for (std::size_t at = bytes->find(kPacketMagic, 0, sizeof kPacketMagic);
         at != std::string::npos; at = bytes->find(kPacketMagic, at + 1, sizeof kPacketMagic)) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes->data()) + at;
        const std::uint64_t length = ReadLe64(p + kLengthAt);
        if (bytes->compare(at + kTypeAt, 16, recovery, 16) != 0 || at + length > bytes->size()) {
            continue;
        }
        (*bytes)[at + kPacketHeaderSize + 4] ^= 0x5A;  // the first byte of the data
        Md5Digest digest;
        if (!writer.Md5(bytes->data() + at + kSetIdAt, length - kSetIdAt, &digest)) {
            return false;
        }
        bytes->replace(at + kPacketHashAt, digest.size(),
                       reinterpret_cast<const char*>(digest.data()), digest.size());
    }
    return true;
}

}  // namespace recovery_test
