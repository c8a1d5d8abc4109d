// Packet bodies as the format lays them out, and the header with the MD5 that seals them.
#include "recovery/packet_writer.h"

namespace recovery {

namespace {

void PadToFour(std::string* body) {
    while (body->size() % 4 != 0) {
        body->push_back('\0');
    }
}

std::string Header(PacketType type,
                   const Md5Digest& setId,
                   std::uint64_t bodyLength,
                   const Md5Digest& packetHash) {
    std::string header(kPacketMagic, sizeof kPacketMagic);
    AppendLe64(&header, kPacketHeaderSize + bodyLength);
    AppendDigest(&header, packetHash);
    AppendDigest(&header, setId);
    header.append(PacketTypeTag(type), 16);
    return header;
}

}  // namespace

std::string PacketWriter::MainBody(std::uint64_t sliceSize,
                                   const std::vector<Md5Digest>& fileIds,
                                   const std::vector<Md5Digest>& otherIds) {
    std::string body;
    AppendLe64(&body, sliceSize);
    AppendLe32(&body, static_cast<std::uint32_t>(fileIds.size()));
    for (const Md5Digest& id : fileIds) {
        AppendDigest(&body, id);
    }
    for (const Md5Digest& id : otherIds) {
        AppendDigest(&body, id);
    }
    return body;
}

std::string PacketWriter::FileDescriptionBody(const FileDescriptionPacket& file) {
    std::string body;
    AppendDigest(&body, file.fileId);
    AppendDigest(&body, file.md5);
    AppendDigest(&body, file.md5First16k);
    AppendLe64(&body, file.length);
    body += file.name;
    PadToFour(&body);
    return body;
}

std::string PacketWriter::SliceChecksumBody(const SliceChecksumPacket& checksums) {
    std::string body;
    AppendDigest(&body, checksums.fileId);
    for (const SliceChecksum& slice : checksums.slices) {
        AppendDigest(&body, slice.md5);
        AppendLe32(&body, slice.crc32);
    }
    return body;
}

std::string PacketWriter::CreatorBody(const std::string& text) {
    std::string body = text;
    PadToFour(&body);
    return body;
}

std::string PacketWriter::UnicodeNameBody(const Md5Digest& fileId, const std::u16string& name) {
    std::string body;
    AppendDigest(&body, fileId);
    for (char16_t unit : name) {
        body.push_back(static_cast<char>(unit & 0xFF));
        body.push_back(static_cast<char>(unit >> 8));
    }
    PadToFour(&body);
    return body;
}

bool PacketWriter::Append(PacketType type,
                          const Md5Digest& setId,
                          const std::string& body,
                          std::string* out) {
    Md5Digest hash;
    if (!m_hash.Begin() || !m_hash.Update(setId.data(), setId.size()) ||
        !m_hash.Update(PacketTypeTag(type), 16) || !m_hash.Update(body.data(), body.size()) ||
        !m_hash.End(hash.data())) {
        return false;
    }
    *out += Header(type, setId, body.size(), hash);
    *out += body;
    return true;
}

std::string PacketWriter::RecoverySlicePrefix(const Md5Digest& setId, std::uint32_t exponent) {
    std::string prefix(setId.begin(), setId.end());
    prefix.append(PacketTypeTag(PacketType::kRecoverySlice), 16);
    AppendLe32(&prefix, exponent);
    return prefix;
}

std::string PacketWriter::RecoverySliceHead(const Md5Digest& setId,
                                            std::uint32_t exponent,
                                            std::uint64_t dataLength,
                                            const Md5Digest& packetHash) {
    std::string head = Header(PacketType::kRecoverySlice, setId, 4 + dataLength, packetHash);
    AppendLe32(&head, exponent);
    return head;
}

bool PacketWriter::StartRecoverySlice(const Md5Digest& setId, std::uint32_t exponent) {
    m_setId = setId;
    m_exponent = exponent;
    const std::string prefix = RecoverySlicePrefix(setId, exponent);
    return m_hash.Begin() && m_hash.Update(prefix.data(), prefix.size());
}

bool PacketWriter::AddRecoveryData(const void* data, std::size_t size) {
    return m_hash.Update(data, size);
}

bool PacketWriter::FinishRecoverySlice(std::uint64_t dataLength, std::string* head) {
    Md5Digest hash;
    if (!m_hash.End(hash.data())) {
        return false;
    }
    *head = RecoverySliceHead(m_setId, m_exponent, dataLength, hash);
    return true;
}

bool PacketWriter::Md5(const void* data, std::size_t size, Md5Digest* digest) {
    return m_hash.Begin() && m_hash.Update(data, size) && m_hash.End(digest->data());
}

}  // namespace recovery
