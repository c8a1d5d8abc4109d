// The packet type tags.
#include "recovery/packet_format.h"

namespace recovery {

namespace {

struct Tag {
    PacketType type;
    char bytes[17];  // 16 and the string literal's end
};

const Tag kTags[] = {
    {PacketType::kMain, "PAR 2.0\0Main\0\0\0\0"},
    {PacketType::kFileDescription, "PAR 2.0\0FileDesc"},
    {PacketType::kSliceChecksums, "PAR 2.0\0IFSC\0\0\0\0"},
    {PacketType::kRecoverySlice, "PAR 2.0\0RecvSlic"},
    {PacketType::kCreator, "PAR 2.0\0Creator\0"},
    {PacketType::kUnicodeName, "PAR 2.0\0UniFileN"},
};

}  // namespace

const char* PacketTypeTag(PacketType type) {
    for (const Tag& tag : kTags) {
        if (tag.type == type) {
            return tag.bytes;
        }
    }
    return nullptr;
}

PacketType PacketTypeOf(const unsigned char* tag) {
    for (const Tag& known : kTags) {
        if (std::memcmp(known.bytes, tag, 16) == 0) {
            return known.type;
        }
    }
    return PacketType::kUnknown;
}

}  // namespace recovery
