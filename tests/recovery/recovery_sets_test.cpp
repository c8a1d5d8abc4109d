// Creating, scanning and repairing sets through the library, and sets made to attack the
// reader: names that reach outside the folder, impossible counts and lengths.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/file_system.h"
#include "recovery/byte_source.h"
#include "recovery/packet_reader.h"
#include "recovery/packet_writer.h"
#include "recovery/recovery_set.h"
#include "recovery/set_creator.h"
#include "recovery/volume_names.h"
#include "tests/recovery/recovery_support.h"

namespace {

using namespace recovery;
using namespace recovery_test;

enum class Harm { kNone, kDelete, kFlipByte, kTruncate, kAppend };

struct RoundTrip {
    const char* what;
    std::vector<std::size_t> lengths;
    std::uint64_t sliceSize;  // 0: chosen
    std::uint32_t recovery;
    std::vector<std::pair<std::size_t, Harm>> harms;  // piece index, harm
    bool repairable;
};

void Harm(const std::string& path, enum Harm harm) {
    std::string bytes = ReadWholeFile(path);
    switch (harm) {
        case Harm::kNone:
            return;
        case Harm::kDelete:
            ASSERT_TRUE(platform::RemoveFile(path));
            return;
        case Harm::kFlipByte:
            bytes[bytes.size() / 2] ^= 0x40;
            break;
        case Harm::kTruncate:
            bytes.resize(bytes.size() / 3);
            break;
        case Harm::kAppend:
            bytes += "tail";
            break;
    }
    WriteWholeFile(path, bytes);
}

TEST(RecoverySets, DamageWithinTheRecoveryIsRepairedAndMoreChangesNothing) {
    const RoundTrip cases[] = {
        {"one piece", {40000}, 0, 1, {{0, Harm::kFlipByte}}, true},
        {"short last piece",
         {8192, 8192, 8192, 1001},
         0,
         2,
         {{3, Harm::kDelete}, {1, Harm::kTruncate}},
         true},
        {"empty last piece", {4096, 4096, 0}, 0, 1, {{2, Harm::kDelete}, {0, Harm::kAppend}}, true},
        {"pieces of several slices",
         {12000, 12000, 5000},
         4000,
         4,
         {{0, Harm::kFlipByte}, {2, Harm::kDelete}},
         true},
        {"every piece lost",
         {3000, 3000, 3000},
         0,
         3,
         {{0, Harm::kDelete}, {1, Harm::kDelete}, {2, Harm::kDelete}},
         true},
        {"one loss too many",
         {8192, 8192, 8192, 100},
         0,
         2,
         {{0, Harm::kDelete}, {1, Harm::kFlipByte}, {3, Harm::kDelete}},
         false},
        {"no recovery slices", {1000, 1000}, 0, 0, {{1, Harm::kFlipByte}}, false},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        const std::vector<PieceFile> pieces = MakePieces(dir, "film.avi", c.lengths);
        const auto original = Snapshot(dir.Path());
        ASSERT_TRUE(Create(dir, pieces, c.recovery, c.sliceSize).Ok());
        EXPECT_TRUE(ScanOne(dir).Complete());
        for (const auto& harm : c.harms) {
            Harm(pieces[harm.first].path, harm.second);
        }
        const SetReport report = ScanOne(dir);
        ASSERT_TRUE(report.Usable());
        EXPECT_FALSE(report.Complete());
        EXPECT_EQ(report.Repairable(), c.repairable);
        for (const auto& harm : c.harms) {
            EXPECT_EQ(report.pieces[0].path.empty(), false);
            const std::string& path = pieces[harm.first].path;
            for (std::size_t i = 0; i < report.pieces.size(); ++i) {
                if (report.pieces[i].path == path) {
                    EXPECT_EQ(report.pieces[i].condition, harm.second == Harm::kDelete
                                                              ? PieceCondition::kMissing
                                                              : PieceCondition::kDamaged)
                        << path;
                }
            }
        }
        const auto harmed = Snapshot(dir.Path());
        RepairResult result;
        const Status status = RepairSet(report, KeepGoing(), &result);
        if (!c.repairable) {
            EXPECT_EQ(status.failure, Failure::kNotEnough);
            EXPECT_EQ(report.MoreNeeded(), report.lostSlices - report.recoverySlices);
            EXPECT_TRUE(Snapshot(dir.Path()) == harmed);
            continue;
        }
        ASSERT_TRUE(status.Ok()) << status.path << ": " << status.reason;
        EXPECT_EQ(result.rebuilt.size(), c.harms.size());
        for (const PieceFile& piece : pieces) {
            const auto& [name, bytes] =
                *std::find_if(original.begin(), original.end(),
                              [&](const auto& f) { return f.first == piece.name; });
            EXPECT_EQ(ReadWholeFile(piece.path), bytes) << name;
        }
        EXPECT_TRUE(ScanOne(dir).Complete());
    }
}

TEST(RecoverySets, VolumesAreNamedAndFilledAsPar2DoesIt) {
    struct Case {
        std::uint32_t count;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {0, {}},
        {1, {"b.vol0+1.par2"}},
        {9, {"b.vol0+1.par2", "b.vol1+2.par2", "b.vol3+4.par2", "b.vol7+2.par2"}},
        {13, {"b.vol00+1.par2", "b.vol01+2.par2", "b.vol03+4.par2", "b.vol07+6.par2"}},
        {100,
         {"b.vol000+01.par2", "b.vol001+02.par2", "b.vol003+04.par2", "b.vol007+08.par2",
          "b.vol015+16.par2", "b.vol031+32.par2", "b.vol063+37.par2"}},
    };
    for (const Case& c : cases) {
        const std::vector<VolumePlan> plan = PlanVolumes(c.count);
        std::vector<std::string> names;
        for (const VolumePlan& volume : plan) {
            names.push_back(VolumePath("b", volume, plan));
        }
        EXPECT_EQ(names, c.names) << c.count;
    }
    // A slice per piece while the recovery fits the memory bound; never over 32768 slices.
    const std::uint64_t mib = 1 << 20;
    EXPECT_EQ(ChooseSliceSize({8 * mib, 8 * mib, 100}, 13, 192 * mib), 8 * mib);
    EXPECT_EQ(ChooseSliceSize({64 * mib, 64 * mib}, 13, 192 * mib), 8 * mib);
    EXPECT_EQ(ChooseSliceSize(std::vector<std::uint64_t>(40000, 4096), 1, 192 * mib), 0u);
    const std::uint64_t big =
        ChooseSliceSize(std::vector<std::uint64_t>(20, 4095 * mib), 13, 192 * mib);
    EXPECT_LE(21 * big, 192 * mib);
    EXPECT_GT(22 * big, 192 * mib);
    EXPECT_EQ(ChooseSliceSize(std::vector<std::uint64_t>(20000, 4095 * mib), 13, 192 * mib),
              4095 * mib);
}

// Packets written here one by one, to make sets no honest program makes.
class ForgedSet {
public:
    explicit ForgedSet(std::uint64_t sliceSize) : m_sliceSize(sliceSize) {}

    void AddFile(const std::string& name, const std::string& bytes, std::uint64_t claimedLength) {
        FileDescriptionPacket file;
        PacketWriter writer;
        ASSERT_TRUE(writer.Md5(bytes.data(), bytes.size(), &file.md5));
        file.md5First16k = file.md5;
        file.length = claimedLength;
        file.name = name;
        ASSERT_TRUE(ComputeFileId(file.md5First16k, file.length, file.name, &file.fileId));
        m_files.push_back(file);
        SliceChecksumPacket checksums;
        checksums.fileId = file.fileId;
        const std::uint64_t count =
            claimedLength / m_sliceSize + (claimedLength % m_sliceSize != 0);
        checksums.slices.resize(count < 100 ? count : 1);
        m_checksums.push_back(checksums);
    }

    std::string Bytes(const std::vector<std::uint32_t>& exponents) {
        std::vector<Md5Digest> ids;
        for (const FileDescriptionPacket& f : m_files) {
            ids.push_back(f.fileId);
        }
        const std::string body = PacketWriter::MainBody(m_sliceSize, ids, {});
        PacketWriter writer;
        Md5Digest setId;
        EXPECT_TRUE(writer.Md5(body.data(), body.size(), &setId));
        std::string out;
        EXPECT_TRUE(writer.Append(PacketType::kMain, setId, body, &out));
        for (std::size_t i = 0; i < m_files.size(); ++i) {
            EXPECT_TRUE(writer.Append(PacketType::kFileDescription, setId,
                                      PacketWriter::FileDescriptionBody(m_files[i]), &out));
            EXPECT_TRUE(writer.Append(PacketType::kSliceChecksums, setId,
                                      PacketWriter::SliceChecksumBody(m_checksums[i]), &out));
        }
        for (std::size_t k = 0; k < exponents.size(); ++k) {
            const std::string data(m_sliceSize, static_cast<char>('a' + k));
            std::string head;
            EXPECT_TRUE(writer.StartRecoverySlice(setId, exponents[k]) &&
                        writer.AddRecoveryData(data.data(), data.size()) &&
                        writer.FinishRecoverySlice(data.size(), &head));
            out += head + data;
        }
        return out;
    }

private:
    std::uint64_t m_sliceSize;
    std::vector<FileDescriptionPacket> m_files;
    std::vector<SliceChecksumPacket> m_checksums;
};

TEST(HostileSets, NamesThatReachOutsideTheSetAreRefusedAndNothingIsWritten) {
    const char* const names[] = {"../x", "/etc/passwd",  "C:\\x",        "C:x",
                                 "NUL",  "com1.txt",     "secret.txt",   "sub/2__film.avi",
                                 "..",   "2__film.avi.", "2__film.avi\n"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        TempFolder outer;
        MakeFolder(outer / "set");
        TempFolder& dir = outer;
        const std::string folder = dir / "set/";
        ForgedSet forged(4096);
        forged.AddFile("1__film.avi", "", 0);
        forged.AddFile(name, std::string(4096, 'q'), 4096);
        WriteWholeFile(folder + "x.par2", forged.Bytes({0, 1}));
        const auto before = Snapshot(folder);
        const auto outside = ListNames(dir.Path());
        ScanResult scan;
        ASSERT_TRUE(ScanFolder(folder, IsPiece, KeepGoing(), &scan).Ok());
        ASSERT_EQ(scan.sets.size(), 1u);
        const SetReport& report = scan.sets.front();
        EXPECT_FALSE(report.Usable());
        ASSERT_EQ(report.set.refused.size(), 1u);
        EXPECT_EQ(report.set.refused.front().name, name);
        RepairResult result;
        EXPECT_EQ(RepairSet(report, KeepGoing(), &result).failure, Failure::kRecoveryData);
        EXPECT_TRUE(result.rebuilt.empty());
        EXPECT_TRUE(Snapshot(folder) == before);
        EXPECT_EQ(ListNames(dir.Path()), outside);
    }
}

TEST(HostileSets, ImpossibleCountsAndLengthsAreSkipped) {
    struct Case {
        const char* what;
        std::uint64_t sliceSize;
        std::uint64_t claimedLength;
        std::vector<std::uint32_t> exponents;
        const char* unusable;  // null: usable
        std::uint32_t recoverySlices;
    };
    const std::uint64_t huge = std::uint64_t{1} << 60;
    const Case cases[] = {
        {"2^58 slices", 4, huge, {0}, "more than 32768 input slices", 1},
        {"32769 slices", 4, 4 * 32769, {0}, "more than 32768 input slices", 1},
        {"checksums that do not count the slices",
         4096,
         4096 * 200,
         {0},
         "a file of the set has no sound slice checksums",
         1},
        {"a repeated exponent", 4096, 4096, {3, 3, 4}, nullptr, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        ForgedSet forged(c.sliceSize);
        forged.AddFile("1__film.avi", std::string(4096, 'q'), c.claimedLength);
        WriteWholeFile(dir / "x.par2", forged.Bytes(c.exponents));
        const SetReport report = ScanOne(dir);
        EXPECT_EQ(report.set.unusable, c.unusable ? c.unusable : "");
        EXPECT_EQ(report.recoverySlices, c.recoverySlices);
    }
    // Main packets with a slice size of 0 or not a multiple of 4 make no set at all.
    for (std::uint64_t sliceSize : {0, 6}) {
        std::string body = PacketWriter::MainBody(sliceSize, {}, {});
        PacketWriter writer;
        Md5Digest setId;
        ASSERT_TRUE(writer.Md5(body.data(), body.size(), &setId));
        std::string main;
        ASSERT_TRUE(writer.Append(PacketType::kMain, setId, body, &main));
        PacketCollection packets;
        PacketReader reader;
        MemorySource source(main.data(), main.size());
        ASSERT_EQ(reader.Read(source, KeepGoing(), &packets), PacketReader::Outcome::kRead);
        EXPECT_TRUE(packets.mains.empty());
        EXPECT_EQ(packets.damaged, 1u);
    }
}

TEST(HostileSets, DamagedPacketsAreSkippedAndTheRestIsRead) {
    ForgedSet forged(4096);
    forged.AddFile("1__film.avi", std::string(4096, 'q'), 4096);
    const std::string sound = forged.Bytes({0, 1});
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t mains, files, recovery, damaged;
    };
    std::string flipped = sound;
    flipped[64 + 5] ^= 1;  // inside the main packet's body
    std::string badLength = sound;
    badLength[8] = 3;  // a length not a multiple of 4
    std::string hugeLength = sound;
    hugeLength[14] = 0x7F;  // a length beyond the file
    const Case cases[] = {
        {"sound", sound, 1, 1, 2, 0},
        {"a flipped byte", flipped, 0, 1, 2, 1},
        {"a length not a multiple of 4", badLength, 0, 1, 2, 1},
        {"a length beyond the file", hugeLength, 0, 1, 2, 1},
        {"garbage around", "junk" + sound.substr(0, 200) + std::string("PAR2\0PKT", 8) + sound, 2,
         1, 2, 1},
        {"cut short", sound.substr(0, sound.size() - 100), 1, 1, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PacketCollection packets;
        PacketReader reader;
        MemorySource source(c.bytes.data(), c.bytes.size());
        ASSERT_EQ(reader.Read(source, KeepGoing(), &packets), PacketReader::Outcome::kRead);
        EXPECT_EQ(packets.mains.size(), c.mains);
        EXPECT_EQ(packets.files.size(), c.files);
        EXPECT_EQ(packets.recoverySlices.size(), c.recovery);
        EXPECT_GE(packets.damaged, c.damaged);
    }
}

}  // namespace

namespace {

using namespace recovery;
using namespace recovery_test;

// The caller's answer to "go on?" turned to no after a number of questions, at every stage
// of a creation and a repair: the folder is as before, with no temporary file.
TEST(RecoverySets, StoppingLeavesTheFolderAsItWas) {
    TempFolder dir;
    const std::vector<PieceFile> pieces =
        MakePieces(dir, "film.avi", std::vector<std::size_t>(5, std::size_t{4} << 20));
    const auto original = Snapshot(dir.Path());
    std::size_t asked = 0;
    for (std::size_t stopAfter = 0;; ++stopAfter) {
        asked = 0;
        const KeepGoing keepGoing = [&] { return asked++ < stopAfter; };
        CreateRequest request;
        request.pieces = pieces;
        request.indexPath = dir / "set.par2";
        request.recoverySlices = 2;
        CreateResult created;
        const Status status = CreateRecoveryFiles(request, keepGoing, &created);
        if (status.Ok()) {
            EXPECT_GT(stopAfter, 3u) << "asked too seldom";
            break;
        }
        ASSERT_EQ(status.failure, Failure::kStopped) << status.reason;
        ASSERT_TRUE(Snapshot(dir.Path()) == original) << "stopped after " << stopAfter;
    }
    ASSERT_TRUE(platform::RemoveFile(pieces[1].path));
    const auto harmed = Snapshot(dir.Path());
    const SetReport report = ScanOne(dir);
    for (std::size_t stopAfter = 0;; ++stopAfter) {
        asked = 0;
        RepairResult result;
        const Status status = RepairSet(
            report, [&] { return asked++ < stopAfter; }, &result);
        if (status.Ok()) {
            EXPECT_GT(stopAfter, 2u) << "asked too seldom";
            break;
        }
        ASSERT_EQ(status.failure, Failure::kStopped) << status.reason;
        ASSERT_TRUE(Snapshot(dir.Path()) == harmed) << "stopped after " << stopAfter;
    }
    EXPECT_TRUE(ReadWholeFile(pieces[1].path) == original[1].second);
}

}  // namespace
