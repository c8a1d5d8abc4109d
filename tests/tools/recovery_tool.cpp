// The recovery library from the command line, for tests that check it against another
// program's recovery files and for the benchmark:
//
//   recovery_tool create INDEX.par2 COUNT [--slice SIZE] [--budget BYTES] PIECE...
//   recovery_tool scan FOLDER
//   recovery_tool repair FOLDER
//   recovery_tool forge OUT.par2 [--slice SIZE] [--slices COUNT] [--claim LENGTH] NAME...
//   recovery_tool junk OUT.par2 COUNT
//   recovery_tool slice SET.par2 OUT.par2 EXPONENT
//   recovery_tool alias SET.par2 NAME UNICODE-NAME
//
// forge writes a set no honest program makes, in slices of SIZE bytes (4096) with COUNT (2)
// recovery slices of made-up data: each NAME described with the bytes of the file of that
// name beside OUT.par2 when there is one, else with 4096 bytes of its own; the first NAME
// said to be LENGTH bytes long, where given. junk writes COUNT sound main packets of sets
// that describe nothing; slice a sound recovery slice of EXPONENT and made-up data for the
// set of SET.par2; alias adds to SET.par2 a Unicode name packet giving the set's file NAME
// the name UNICODE-NAME.
//
// Pieces are the names "N__FILE" of a split. Prints what it found or did, one line each,
// and with --memory (natively) the peak resident size. Exit status: 0 done (for scan: every
// set complete), 1 usage, 2 a piece unreadable, 3 a file unwritable, 4 not complete or not
// enough to repair, 5 no usable recovery set, 6 stopped.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "recovery/byte_source.h"
#include "recovery/packet_reader.h"
#include "recovery/packet_writer.h"
#include "recovery/set_creator.h"
#include "recovery/set_repairer.h"
#include "recovery/set_scanner.h"
#include "tests/recovery/forged_set.h"

namespace {

using namespace recovery;

int Usage() {
    std::fprintf(stderr,
                 "usage: recovery_tool create INDEX.par2 COUNT [--slice SIZE] [--budget BYTES] "
                 "PIECE...\n"
                 "       recovery_tool scan FOLDER\n"
                 "       recovery_tool repair FOLDER\n"
                 "       recovery_tool forge OUT.par2 [--slice SIZE] [--slices COUNT] "
                 "[--claim LENGTH] NAME...\n"
                 "       recovery_tool junk OUT.par2 COUNT\n"
                 "       recovery_tool slice SET.par2 OUT.par2 EXPONENT\n"
                 "       recovery_tool alias SET.par2 NAME UNICODE-NAME\n");
    return 1;
}

bool IsPiece(const std::string& name) {
    std::string file;
    int number = 0;
    return NameAfterMarker(name, &file) && ParsePieceNumber(name, file, &number);
}

int Report(const Status& status) {
    if (status.Ok()) {
        return 0;
    }
    std::printf("error %s: %s\n", status.path.c_str(), status.reason.c_str());
    switch (status.failure) {
        case Failure::kBadRequest:
            return 1;
        case Failure::kSource:
            return 2;
        case Failure::kTarget:
            return 3;
        case Failure::kNotEnough:
            return 4;
        case Failure::kRecoveryData:
            return 5;
        case Failure::kStopped:
        case Failure::kNone:
            break;
    }
    return 6;
}

const char* ConditionName(PieceCondition condition) {
    switch (condition) {
        case PieceCondition::kGood:
            return "good";
        case PieceCondition::kDamaged:
            return "damaged";
        case PieceCondition::kMissing:
            break;
    }
    return "missing";
}

void PrintSet(const SetReport& report) {
    std::printf("set slice %llu files %zu recovery %u lost %u\n",
                static_cast<unsigned long long>(report.set.sliceSize), report.set.files.size(),
                report.recoverySlices, report.lostSlices);
    for (const RefusedName& refused : report.set.refused) {
        std::printf("refused %s: %s\n", refused.name.c_str(), refused.reason.c_str());
    }
    if (!report.Usable()) {
        std::printf("unusable: %s\n", report.set.unusable.c_str());
        return;
    }
    for (std::size_t i = 0; i < report.pieces.size(); ++i) {
        std::printf("%s: %s\n", report.set.files[i].name.c_str(),
                    ConditionName(report.pieces[i].condition));
    }
    if (!report.Complete()) {
        std::printf(report.Repairable() ? "repairable\n" : "not repairable, %u more needed\n",
                    report.MoreNeeded());
    }
}

int Create(int argc, char** argv) {
    if (argc < 4) {
        return Usage();
    }
    CreateRequest request;
    request.indexPath = argv[2];
    request.recoverySlices = static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10));
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--slice") == 0 && i + 1 < argc) {
            request.sliceSize = std::strtoull(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--budget") == 0 && i + 1 < argc) {
            request.memoryBudget = std::strtoull(argv[++i], nullptr, 10);
        } else {
            const std::string path = argv[i];
            request.pieces.push_back({path, path.substr(platform::LastSeparator(path) + 1)});
        }
    }
    CreateResult result;
    const Status status = CreateRecoveryFiles(request, KeepGoing(), &result);
    if (status.Ok()) {
        std::printf("created slice %llu inputs %u files %zu\n",
                    static_cast<unsigned long long>(result.sliceSize), result.inputSlices,
                    result.files.size());
    }
    return Report(status);
}

int ScanOrRepair(const std::string& folder, bool repair) {
    ScanResult scan;
    Status status = ScanFolder(folder, IsPiece, KeepGoing(), &scan);
    if (!status.Ok()) {
        return Report(status);
    }
    for (const auto& unreadable : scan.unreadable) {
        std::printf("unreadable %s: %s\n", unreadable.first.c_str(), unreadable.second.c_str());
    }
    int exit = scan.sets.empty() ? 5 : 0;
    for (const SetReport& report : scan.sets) {
        PrintSet(report);
        if (!report.Usable()) {
            exit = exit == 0 ? 5 : exit;
        } else if (!report.Complete()) {
            if (!repair) {
                exit = exit == 0 ? 4 : exit;
                continue;
            }
            RepairResult result;
            status = RepairSet(report, KeepGoing(), &result);
            for (const std::string& path : result.rebuilt) {
                std::printf("rebuilt %s\n", path.c_str());
            }
            const int code = Report(status);
            exit = exit == 0 ? code : exit;
        }
    }
    return exit;
}

// The bytes of the file at `path`; false when it cannot be read.
bool ReadFile(const std::string& path, std::string* bytes) {
    platform::File file;
    if (!file.Open(path, platform::File::Access::kReadShareDenyWrite)) {
        return false;
    }
    char buffer[65536];
    for (;;) {
        const std::int64_t got = file.Read(buffer, sizeof buffer);
        if (got <= 0) {
            return got == 0;
        }
        bytes->append(buffer, static_cast<std::size_t>(got));
    }
}

int Forge(int argc, char** argv) {
    const std::string out = argv[2];
    const std::string folder = out.substr(0, platform::LastSeparator(out) + 1);
    std::uint64_t sliceSize = 4096;
    std::uint32_t slices = 2;
    std::uint64_t claim = 0;
    int first = 3;
    for (; first + 1 < argc && argv[first][0] == '-'; first += 2) {
        const std::uint64_t value = std::strtoull(argv[first + 1], nullptr, 10);
        if (std::strcmp(argv[first], "--slice") == 0) {
            sliceSize = value;
        } else if (std::strcmp(argv[first], "--slices") == 0) {
            slices = static_cast<std::uint32_t>(value);
        } else if (std::strcmp(argv[first], "--claim") == 0) {
            claim = value;
        } else {
            return Usage();
        }
    }
    recovery_test::ForgedSet forged(sliceSize);
    for (int i = first; i < argc; ++i) {
        std::string bytes;
        if (!ReadFile(folder + argv[i], &bytes)) {
            bytes.assign(4096, 'q');
        }
        const std::uint64_t length = i == first && claim != 0 ? claim : bytes.size();
        if (!forged.AddFile(argv[i], bytes, length)) {
            return Report(Status::Fail(Failure::kTarget, out, "hashing failed"));
        }
    }
    std::string bytes;
    platform::File file;
    std::vector<std::uint32_t> exponents;
    for (std::uint32_t e = 0; e < slices; ++e) {
        exponents.push_back(e);
    }
    if (!forged.Bytes(exponents, &bytes) || !file.Open(out, platform::File::Access::kCreateWrite) ||
        !file.Write(bytes.data(), bytes.size()) || !file.Close()) {
        return Report(Status::Fail(Failure::kTarget, out, "could not be written"));
    }
    return 0;
}

// Appends `bytes` to the file at `path`, made when there is none.
int AppendTo(const std::string& path, const std::string& bytes) {
    std::string whole;
    ReadFile(path, &whole);
    whole += bytes;
    platform::File file;
    platform::RemoveFile(path);  // made anew: on Windows only where none is
    if (!file.Open(path, platform::File::Access::kCreateWrite) ||
        !file.Write(whole.data(), whole.size()) || !file.Close()) {
        return Report(Status::Fail(Failure::kTarget, path, "could not be written"));
    }
    return 0;
}

// Packets that a sender adds beside a sound set: junk main packets, a recovery slice of the
// set's own ID and slice size, a Unicode name for one of its files.
int AddPackets(const std::string& command, int argc, char** argv) {
    if (command == "junk") {
        std::string junk;
        for (unsigned long i = 0; i < std::strtoul(argv[3], nullptr, 10); ++i) {
            const std::string body = PacketWriter::MainBody(
                4, {Md5Digest{{static_cast<unsigned char>(i), static_cast<unsigned char>(i >> 8)}}},
                {});
            Md5Digest id;
            PacketWriter writer;
            if (!writer.Md5(body.data(), body.size(), &id) ||
                !recovery_test::ForgedSet::Packet(PacketType::kMain, id, body, &junk)) {
                return Report(Status::Fail(Failure::kTarget, argv[2], "hashing failed"));
            }
        }
        return AppendTo(argv[2], junk);
    }
    if (argc < 5) {
        return Usage();
    }
    FileSource source;
    PacketCollection packets;
    PacketReader reader;
    if (!source.Open(argv[2]) ||
        reader.Read(source, KeepGoing(), &packets) != PacketReader::Outcome::kRead ||
        packets.mains.empty()) {
        return Report(Status::Fail(Failure::kSource, argv[2], "no set read"));
    }
    source.Close();  // SET.par2 may be the file written
    const MainPacket& main = packets.mains.front();
    std::string out;
    if (command == "slice") {
        const std::string data(main.sliceSize, 'x');
        if (!recovery_test::ForgedSet::RecoverySlice(
                main.setId, static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 10)), data,
                &out)) {
            return Report(Status::Fail(Failure::kTarget, argv[3], "hashing failed"));
        }
        return AppendTo(argv[3], out);
    }
    for (const FileDescriptionPacket& file : packets.files) {
        if (file.name == argv[3]) {
            const std::string alias = argv[4];
            if (!recovery_test::ForgedSet::Packet(
                    PacketType::kUnicodeName, main.setId,
                    PacketWriter::UnicodeNameBody(file.fileId,
                                                  std::u16string(alias.begin(), alias.end())),
                    &out)) {
                return Report(Status::Fail(Failure::kTarget, argv[2], "hashing failed"));
            }
            return AppendTo(argv[2], out);
        }
    }
    return Report(Status::Fail(Failure::kSource, argv[2], "no such file in the set"));
}

void PrintPeakMemory() {
#ifndef _WIN32
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) == 0) {
        std::printf("peak-rss-kib %ld\n", usage.ru_maxrss);
    }
#endif
}

}  // namespace

int main(int argc, char** argv) {
    bool memory = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--memory") == 0) {
            memory = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    argc = static_cast<int>(args.size());
    argv = args.data();
    if (argc < 3) {
        return Usage();
    }
    int exit;
    const std::string command = argv[1];
    if (command == "create") {
        exit = Create(argc, argv);
    } else if (command == "junk" || command == "slice" || command == "alias") {
        exit = argc >= 4 ? AddPackets(command, argc, argv) : Usage();
    } else if (command == "forge") {
        exit = argc >= 4 ? Forge(argc, argv) : Usage();
    } else if (command == "scan" || command == "repair") {
        exit = argc == 3 ? ScanOrRepair(argv[2], command == "repair") : Usage();
    } else {
        exit = Usage();
    }
    if (memory) {
        PrintPeakMemory();
    }
    return exit;
}
