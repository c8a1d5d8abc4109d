// libFuzzer target for the PAR2 packet reader and the assembly of sets: any bytes, read as
// a recovery file, must give packets whose fields fit their bounds and sets whose counts and
// names keep to the rules, without a crash, a leak or an allocation the bounds do not allow.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "recovery/byte_source.h"
#include "recovery/file_name_rules.h"
#include "recovery/packet_reader.h"
#include "recovery/recovery_set.h"
#include "recovery/slice_constants.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace recovery;
    MemorySource source(data, size);
    PacketCollection packets;
    PacketReader reader;
    Check(reader.Read(source, KeepGoing(), &packets) == PacketReader::Outcome::kRead,
          "a memory source reads");
    for (const MainPacket& main : packets.mains) {
        Check(main.sliceSize != 0 && main.sliceSize % 4 == 0, "slice size");
        Check(main.recoveryFileIds.size() + main.otherFileIds.size() <= size / 16, "file count");
    }
    for (const SliceChecksumPacket& checksums : packets.sliceChecksums) {
        Check(checksums.slices.size() <= kMaxInputSlices, "slice checksum count");
    }
    for (const RecoverySliceLocation& slice : packets.recoverySlices) {
        Check(slice.exponent < 65535, "exponent");
        Check(slice.dataOffset + slice.dataLength <= size, "recovery data within the file");
    }
    ReadPackets read;
    read.push_back({"fuzz.par2", packets});
    for (const RecoverySet& set : AssembleSets(
             read, [](const std::string& name) { return name.find("__") != std::string::npos; })) {
        Check(set.inputSlices <= kMaxInputSlices, "input slices");
        if (set.unusable.empty()) {
            for (const SetFile& file : set.files) {
                std::string reason;
                Check(IsPlainFileName(file.name, &reason), "usable sets have plain names");
            }
        }
        for (std::size_t i = 1; i < set.recoverySlices.size(); ++i) {
            Check(set.recoverySlices[i - 1].exponent < set.recoverySlices[i].exponent,
                  "exponents distinct");
        }
    }
    return 0;
}
