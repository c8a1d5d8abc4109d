// libFuzzer target for the PAR2 packet reader and the assembly of sets: any bytes, read as
// a recovery file, must give packets whose fields fit their bounds and sets whose counts and
// names keep to the rules, without a crash, a leak or an allocation the bounds do not allow.
// Built with SECANTO_FUZZING, so that made-up bytes pass the MD5 checks and reach the fields.
// The names of usable sets are judged by a rule of this file's own, not the reader's: what
// the program would write under such a name must stay a file of the set's folder, on Linux
// and on Windows alike.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "recovery/byte_source.h"
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

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// Whether Windows opens a device for `name` in any folder: the part before the first dot,
// without the blanks before it, is one of the reserved names (a digit, or a superscript one,
// after COM and LPT).
bool WindowsDevice(const std::string& name) {
    std::string stem = Upper(name.substr(0, name.find('.')));
    stem.erase(stem.find_last_not_of(' ') + 1);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (stem == device) {
            return true;
        }
    }
    for (const char* port : {"COM", "LPT"}) {
        for (const char* digit : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "\xC2\xB9",
                                  "\xC2\xB2", "\xC2\xB3"}) {
            if (stem == std::string(port) + digit) {
                return true;
            }
        }
    }
    return false;
}

// What `folder` + `name` opens, as Windows and Linux resolve it: the components of the path
// after the folder, with Windows dropping trailing dots and blanks from each. The name stays
// a file of the folder when that is one component equal to the name itself.
bool StaysInFolder(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) {
        return false;  // the system would see another name, or none
    }
    std::vector<std::string> components(1);
    for (char c : name) {
        if (c == '/' || c == '\\') {
            components.emplace_back();
        } else {
            components.back().push_back(c);
        }
    }
    if (components.size() != 1) {
        return false;
    }
    std::string windows = components.front();
    while (!windows.empty() && (windows.back() == '.' || windows.back() == ' ')) {
        windows.pop_back();
    }
    // A colon names a drive ("C:x" is relative to C:'s current folder) or a stream.
    return windows == name && name != "." && name != ".." && name.find(':') == std::string::npos &&
           !WindowsDevice(name);
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
        Check(checksums.slices.size() * 20 + 16 + 64 <= size, "slice checksums within the file");
    }
    for (const RecoverySliceLocation& slice : packets.recoverySlices) {
        Check(slice.exponent < 65535, "exponent");
        Check(slice.dataLength >= 4 && slice.dataLength % 4 == 0, "recovery data length");
        Check(slice.dataOffset + slice.dataLength <= size, "recovery data within the file");
    }
    ReadPackets read;
    read.push_back({"fuzz.par2", packets});
    for (const RecoverySet& set : AssembleSets(
             read, [](const std::string& name) { return name.find("__") != std::string::npos; })) {
        Check(set.inputSlices <= kMaxInputSlices, "input slices");
        if (set.unusable.empty()) {
            std::uint64_t largest = 0;
            for (const SetFile& file : set.files) {
                if (!StaysInFolder(file.name)) {
                    std::fprintf(stderr, "name: %s\n", file.name.c_str());
                }
                Check(StaysInFolder(file.name), "usable sets name files of their folder only");
                largest = std::max(largest, file.length);
            }
            Check(set.sliceSize < largest + 4 || set.sliceSize == 4, "slice size within the files");
        }
        for (const RefusedName& refused : set.refused) {
            Check(refused.name.find('\0') == std::string::npos, "refused names printable");
        }
        for (std::size_t i = 1; i < set.recoverySlices.size(); ++i) {
            Check(set.recoverySlices[i - 1].exponent < set.recoverySlices[i].exponent,
                  "exponents distinct");
        }
    }
    return 0;
}
