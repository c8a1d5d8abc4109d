// A recovery set as the packets of one or more PAR2 files describe it: its pieces with their
// checksums, in the order that numbers the input slices, and where its recovery slices are.
// Names are checked here once: a name that is no plain file name of the folder, cannot be
// written in the program's code page, or is not one of the caller's pieces, is refused, and
// a set with a refused name is not acted on.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "recovery/packets.h"

namespace recovery {

// The caller's rule for the names of its pieces (e.g. "N__film.avi"), on narrow names.
using PieceNameFilter = std::function<bool(const std::string& name)>;

struct SetFile {
    Md5Digest fileId{};
    std::string name;  // narrow, the program's code page
    std::uint64_t length = 0;
    Md5Digest md5{};
    Md5Digest md5First16k{};
    std::vector<SliceChecksum> slices;
    std::uint32_t firstSlice = 0;  // index of its first input slice in the set
};

struct RecoverySliceSource {
    std::string path;
    std::uint32_t exponent = 0;
    std::uint64_t dataOffset = 0;
};

struct RefusedName {
    std::string name;  // as the packet holds it, each control character shown as '?'
    std::string reason;
};

struct RecoverySet {
    Md5Digest setId{};
    std::uint64_t sliceSize = 0;
    std::vector<SetFile> files;
    std::uint32_t inputSlices = 0;
    std::vector<RecoverySliceSource> recoverySlices;  // one per exponent, by exponent
    // Slices of an exponent above whose data differs from the one there, by exponent: forged
    // ones, or that one is. Tried only where the others cannot rebuild what is lost.
    std::vector<RecoverySliceSource> rivals;
    std::vector<std::string> parFiles;  // files holding packets of the set, in order
    std::string creator;
    std::vector<RefusedName> refused;
    std::string unusable;  // why the set cannot be used; empty when it can
};

// The packets read from each PAR2 file, by the file's path.
using ReadPackets = std::vector<std::pair<std::string, PacketCollection>>;

// Every set that has a sound main packet, in the order their main packets were found.
std::vector<RecoverySet> AssembleSets(const ReadPackets& read, const PieceNameFilter& isPiece);

// File ID = MD5(MD5 of the first 16 KiB, 8-byte length, name as in the packet). False when
// hashing failed.
bool ComputeFileId(const Md5Digest& md5First16k,
                   std::uint64_t length,
                   const std::string& name,
                   Md5Digest* fileId);

}  // namespace recovery
