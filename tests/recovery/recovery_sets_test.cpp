// Creating, scanning and repairing sets through the library, and sets made to attack the
// reader: names that reach outside the folder, impossible counts and lengths.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "folder/recovery_plan.h"
#include "platform/file_system.h"
#include "recovery/byte_source.h"
#include "recovery/packet_reader.h"
#include "recovery/packet_writer.h"
#include "recovery/piece_group_hasher.h"
#include "recovery/recovery_matrix.h"
#include "recovery/recovery_set.h"
#include "recovery/set_creator.h"
#include "recovery/volume_names.h"
#include "tests/recovery/forged_set.h"
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

TEST(HostileSets, NamesThatReachOutsideTheSetAreRefusedAndNothingIsWritten) {
    const char* const names[] = {
        "../x",          "/etc/passwd", "C:\\x",           "C:x", "NUL",
        "com1.txt",      "secret.txt",  "sub/2__film.avi", "..",  "2__film.avi.",
        "2__film.avi\n", "2__sub\\x",   "2__fi\x01lm.avi"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        TempFolder outer;
        MakeFolder(outer / "set");
        TempFolder& dir = outer;
        const std::string folder = dir / "set/";
        ForgedSet forged(4096);
        ASSERT_TRUE(forged.AddFile("1__film.avi", "", 0));
        ASSERT_TRUE(forged.AddFile(name, std::string(4096, 'q'), 4096));
        std::string bytes;
        ASSERT_TRUE(forged.Bytes({0, 1}, &bytes));
        WriteWholeFile(folder + "x.par2", bytes);
        const auto before = Snapshot(folder);
        const auto outside = ListNames(dir.Path());
        ScanResult scan;
        ASSERT_TRUE(ScanFolder(folder, IsPiece, KeepGoing(), &scan).Ok());
        ASSERT_EQ(scan.sets.size(), 1u);
        const SetReport& report = scan.sets.front();
        EXPECT_FALSE(report.Usable());
        ASSERT_EQ(report.set.refused.size(), 1u);
        // Shown without the control characters that would break a message (a newline is
        // escaped where it is printed).
        std::string shown = name;
        std::replace(shown.begin(), shown.end(), '\x01', '?');
        EXPECT_EQ(report.set.refused.front().name, shown);
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
        ASSERT_TRUE(forged.AddFile("1__film.avi", std::string(4096, 'q'), c.claimedLength));
        std::string bytes;
        ASSERT_TRUE(forged.Bytes(c.exponents, &bytes));
        WriteWholeFile(dir / "x.par2", bytes);
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
    ASSERT_TRUE(forged.AddFile("1__film.avi", std::string(4096, 'q'), 4096));
    std::string sound;
    ASSERT_TRUE(forged.Bytes({0, 1}, &sound));
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
    // Packets whose MD5 fits and whose lengths do not: skipped whole, nothing read past a
    // body (which AddressSanitizer would see).
    const Md5Digest set = ForgedSet::SetIdOf(sound);
    const struct {
        const char* what;
        PacketType type;
        std::size_t bodySize;
    } bodies[] = {
        {"a recovery slice of no data", PacketType::kRecoverySlice, 0},
        {"slice checksums 12 bytes short", PacketType::kSliceChecksums, 16 + 12},
        {"a main packet 8 bytes short", PacketType::kMain, 12 + 8},
        {"a file description without a name", PacketType::kFileDescription, 52},
        {"a Unicode name without a File ID", PacketType::kUnicodeName, 12},
    };
    for (const auto& b : bodies) {
        SCOPED_TRACE(b.what);
        std::string bytes;
        ASSERT_TRUE(b.type == PacketType::kRecoverySlice
                        ? ForgedSet::RecoverySlice(set, 7, std::string(b.bodySize, 'd'), &bytes)
                        : ForgedSet::Packet(b.type, set, std::string(b.bodySize, 'd'), &bytes));
        PacketCollection packets;
        PacketReader reader;
        MemorySource source(bytes.data(), bytes.size());
        ASSERT_EQ(reader.Read(source, KeepGoing(), &packets), PacketReader::Outcome::kRead);
        EXPECT_TRUE(packets.mains.empty() && packets.files.empty() &&
                    packets.sliceChecksums.empty() && packets.recoverySlices.empty() &&
                    packets.unicodeNames.empty());
        EXPECT_EQ(packets.damaged, 1u);
    }
}

// The usable sets a scan of `dir` finds.
std::vector<SetReport> UsableSets(const TempFolder& dir) {
    ScanResult scan;
    EXPECT_TRUE(ScanFolder(dir.Path(), IsPiece, KeepGoing(), &scan).Ok());
    std::vector<SetReport> usable;
    for (const SetReport& report : scan.sets) {
        if (report.Usable()) {
            usable.push_back(report);
        }
    }
    return usable;
}

// Packets a sender adds beside a sound set, piece 2 lost: junk never keeps the set out, a
// forged slice never stands in for the real one, and forged data rebuilds nothing.
TEST(HostileSets, ForgedPacketsNeitherHideNorReplaceTheRealSet) {
    enum class Forgery { kJunkMains, kBogusSliceFirst, kReforgedSlices };
    const struct {
        const char* what;
        Forgery forgery;
        bool repaired;
    } cases[] = {
        {"64 junk main packets in a file read first", Forgery::kJunkMains, true},
        {"a forged slice of the same exponent read first", Forgery::kBogusSliceFirst, true},
        {"every recovery slice given other data", Forgery::kReforgedSlices, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        const std::vector<PieceFile> pieces = MakePieces(dir, "film.avi", {6000, 6000, 300});
        const auto original = Snapshot(dir.Path());
        ASSERT_TRUE(Create(dir, pieces, 1).Ok());
        const std::string volume = dir / "set.vol0+1.par2";
        std::string bytes = ReadWholeFile(volume);
        const Md5Digest setId = ForgedSet::SetIdOf(bytes);
        std::string forged;
        switch (c.forgery) {
            case Forgery::kJunkMains:
                for (int i = 0; i < 64; ++i) {
                    const std::string body =
                        PacketWriter::MainBody(4, {Md5Digest{{static_cast<unsigned char>(i)}}}, {});
                    Md5Digest junkId;
                    PacketWriter writer;
                    ASSERT_TRUE(writer.Md5(body.data(), body.size(), &junkId));
                    ASSERT_TRUE(ForgedSet::Packet(PacketType::kMain, junkId, body, &forged));
                }
                WriteWholeFile(dir / "a.par2", forged);
                break;
            case Forgery::kBogusSliceFirst:
                ASSERT_TRUE(ForgedSet::RecoverySlice(setId, 0, std::string(6000, 'x'), &forged));
                WriteWholeFile(dir / "a.par2", forged);
                break;
            case Forgery::kReforgedSlices:
                ASSERT_TRUE(ForgedSet::Reforge(&bytes));
                WriteWholeFile(volume, bytes);
                break;
        }
        ASSERT_TRUE(platform::RemoveFile(pieces[1].path));
        const auto harmed = Snapshot(dir.Path());
        const std::vector<SetReport> usable = UsableSets(dir);
        ASSERT_EQ(usable.size(), 1u);
        ASSERT_TRUE(usable[0].Repairable());
        RepairResult result;
        const Status status = RepairSet(usable[0], KeepGoing(), &result);
        if (!c.repaired) {
            EXPECT_EQ(status.failure, Failure::kRecoveryData);
            EXPECT_EQ(status.reason, "the rebuilt piece does not match its MD5");
            EXPECT_TRUE(Snapshot(dir.Path()) == harmed);
            continue;
        }
        ASSERT_TRUE(status.Ok()) << status.reason;
        EXPECT_EQ(ReadWholeFile(pieces[1].path), original[1].second);
    }
}

// What would take hours ends at once or when asked: a slice larger than every file the set
// describes is refused, and a file of nothing but packet headers is read once, asking the
// caller every few MiB.
TEST(HostileSets, HugeSlicesAndFilesOfHeadersCostNoHours) {
    TempFolder dir;
    const std::vector<PieceFile> pieces = MakePieces(dir, "film.avi", {4096, 4096, 10});
    for (const std::uint64_t sliceSize :
         {std::uint64_t{1} << 40, std::uint64_t{4100}, std::uint64_t{4096}}) {
        SCOPED_TRACE(sliceSize);
        ForgedSet forged(sliceSize);
        for (const PieceFile& piece : pieces) {
            const std::string bytes = ReadWholeFile(piece.path);
            ASSERT_TRUE(forged.AddFile(piece.name, bytes, bytes.size()));
        }
        std::string bytes;
        ASSERT_TRUE(forged.Bytes({}, &bytes));
        WriteWholeFile(dir / "x.par2", bytes);
        // Checking pieces padded to 2^40 bytes would ask the caller again and again.
        int asked = 0;
        ScanResult scan;
        ASSERT_TRUE(ScanFolder(
                        dir.Path(), IsPiece, [&] { return ++asked < 100; }, &scan)
                        .Ok());
        ASSERT_EQ(scan.sets.size(), 1u);
        EXPECT_EQ(scan.sets[0].set.unusable,
                  sliceSize > 4096 ? "its slice size is larger than any file it describes" : "");
    }
    std::string headers;
    for (int i = 0; i < (2 << 20); ++i) {
        headers.append(kPacketMagic, sizeof kPacketMagic);
    }
    MemorySource source(headers.data(), headers.size());
    PacketCollection packets;
    PacketReader reader;
    int asked = 0;
    EXPECT_EQ(reader.Read(
                  source, [&] { return ++asked > 0; }, &packets),
              PacketReader::Outcome::kRead);
    EXPECT_GE(asked, static_cast<int>(headers.size() / kKeepGoingInterval));
    EXPECT_EQ(reader.Read(
                  source, [] { return false; }, &packets),
              PacketReader::Outcome::kStopped);
}

// More lost slices than an inverse matrix is made for: recovery slices of consecutive
// exponents rebuild them all.
TEST(RecoverySets, ThousandsOfLostSlicesAreRebuilt) {
    TempFolder dir;
    // Slices of 4 bytes: four pieces lost are 4400 slices.
    const std::vector<PieceFile> pieces = MakePieces(dir, "f.bin", {4400, 4400, 4400, 4400, 40});
    const auto original = Snapshot(dir.Path());
    ASSERT_TRUE(Create(dir, pieces, 4400, 4).Ok());
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(platform::RemoveFile(pieces[i].path));
    }
    const SetReport report = ScanOne(dir);
    EXPECT_EQ(report.lostSlices, 4400u);
    ASSERT_TRUE(report.Repairable());
    RepairResult result;
    const Status status = RepairSet(report, KeepGoing(), &result);
    ASSERT_TRUE(status.Ok()) << status.reason;
    for (const auto& [name, bytes] : original) {
        ASSERT_EQ(ReadWholeFile(dir / name), bytes) << name;
    }
}

}  // namespace

namespace {

using namespace recovery;
using namespace recovery_test;

// The caller's answer to "go on?" turned to no after a number of questions, at every stage
// of a creation and a repair: the folder is as before, with no temporary file.
// Pieces hashed side by side: one that changed length since the group was made fails,
// named, and a stop asked for in the middle is obeyed.
TEST(RecoverySets, AGroupOfPiecesNamesTheOneThatChangedAndStopsWhenAsked) {
    if (!Md5Lanes::Available()) {
        GTEST_SKIP() << "the processor has no AVX2";
    }
    TempFolder dir;
    const std::vector<PieceFile> pieces =
        MakePieces(dir, "g.bin", std::vector<std::size_t>(3, std::size_t{8} << 20));
    std::vector<std::string> paths;
    for (const PieceFile& piece : pieces) {
        paths.push_back(piece.path);
    }
    WriteWholeFile(pieces[1].path, ReadWholeFile(pieces[1].path).substr(1));
    PieceGroupHasher hasher;
    std::vector<PieceHashes> hashes(paths.size());
    std::atomic<bool> stop{false};
    std::size_t failed = 0;
    std::string reason;
    EXPECT_EQ(hasher.Hash(paths, std::uint64_t{8} << 20, std::uint64_t{8} << 20, nullptr, &stop,
                          hashes.data(), &failed, &reason),
              PieceHasher::Outcome::kFailed);
    EXPECT_EQ(failed, 1u);
    EXPECT_EQ(reason, "the file changed while it was read");
    int asked = 0;
    const KeepGoing stopAtOnce = [&] { return ++asked < 2; };
    paths.erase(paths.begin() + 1);
    EXPECT_EQ(hasher.Hash(paths, std::uint64_t{8} << 20, std::uint64_t{8} << 20, &stopAtOnce, &stop,
                          hashes.data(), &failed, &reason),
              PieceHasher::Outcome::kStopped);
    EXPECT_TRUE(stop.load());
}

TEST(RecoverySets, StoppingLeavesTheFolderAsItWas) {
    TempFolder dir;
    const std::vector<PieceFile> pieces =
        MakePieces(dir, "film.avi", std::vector<std::size_t>(5, std::size_t{2} << 20));
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

namespace {

using namespace recovery;
using namespace recovery_test;

// Sets read without their pieces, and the caller's check of rebuilt pieces: a refusal leaves
// the folder as it was; a check that passes saw each piece's bytes under its temporary name.
TEST(RecoverySets, ReadingSetsReadsNoPieceAndTheCallerMayRefuseARebuiltPiece) {
    TempFolder dir;
    const std::vector<PieceFile> pieces = MakePieces(dir, "film.avi", {5000, 5000, 300});
    const auto original = Snapshot(dir.Path());
    ASSERT_TRUE(Create(dir, pieces, 2).Ok());
    ASSERT_TRUE(platform::RemoveFile(pieces[0].path));
    ScanResult read;
    ASSERT_TRUE(ReadSets(dir.Path(), IsPiece, KeepGoing(), &read).Ok());
    ASSERT_EQ(read.sets.size(), 1u);
    EXPECT_TRUE(read.sets[0].Usable());
    EXPECT_TRUE(read.sets[0].pieces.empty());
    EXPECT_EQ(read.sets[0].set.parFiles.size(), 3u);

    const SetReport report = ScanOne(dir);
    const auto harmed = Snapshot(dir.Path());
    RepairResult result;
    const Status refused =
        RepairSet(report, KeepGoing(), &result, [&](const std::vector<RebuiltFile>&) {
            return Status::Fail(Failure::kRecoveryData, pieces[0].path, "no");
        });
    EXPECT_EQ(refused.failure, Failure::kRecoveryData);
    EXPECT_EQ(refused.path, pieces[0].path);
    EXPECT_EQ(refused.reason, "no");
    EXPECT_TRUE(Snapshot(dir.Path()) == harmed);
    std::string seen;
    ASSERT_TRUE(
        RepairSet(report, KeepGoing(), &result, [&](const std::vector<RebuiltFile>& rebuilt) {
            seen = rebuilt.size() == 1 && rebuilt[0].path == pieces[0].path
                       ? ReadWholeFile(rebuilt[0].temporaryPath)
                       : "";
            return Status();
        }).Ok());
    EXPECT_EQ(seen, original[0].second);
    EXPECT_EQ(ReadWholeFile(pieces[0].path), original[0].second);
}

// What a split's -r asks for, in slices: a slice a piece while the memory bound allows,
// else several and as many pieces' worth of recovery slices; a share rounded up, never more
// than the pieces that hold bytes; more than 32768 slices refused.
TEST(RecoveryPlans, PiecesWorthOfSlicesWithinWhatPar2Allows) {
    const std::uint64_t mib = 1 << 20;
    struct Case {
        const char* what;
        std::vector<std::uint64_t> lengths;
        folder::RecoveryAmount amount;
        bool planned;
        std::uint32_t pieces;
        std::uint32_t slicesPerPiece;
    };
    std::vector<std::uint64_t> many(21, 4096);
    many.back() = 100;
    std::vector<std::uint64_t> lastEmpty(32769, 4096);
    lastEmpty.back() = 0;
    const Case cases[] = {
        {"a slice a piece", {8 * mib, 8 * mib, 100}, {2, false}, true, 2, 1},
        {"10% of 21, rounded up", many, {10, true}, true, 3, 1},
        {"1% of 21", many, {1, true}, true, 1, 1},
        {"more than the pieces", {4096, 4096, 0}, {5, false}, true, 2, 1},
        {"an empty file", {0}, {1, false}, true, 0, 0},
        {"pieces beyond the memory bound", {1024 * mib, 1024 * mib, 5}, {2, false}, true, 2, 54},
        {"32768 pieces and an empty one", lastEmpty, {1, false}, true, 1, 1},
        {"32769 pieces", std::vector<std::uint64_t>(32769, 4096), {1, false}, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        folder::RecoveryPlan plan;
        std::string reason;
        ASSERT_EQ(folder::PlanRecovery(c.lengths, c.amount, &plan, &reason), c.planned) << reason;
        if (!c.planned) {
            EXPECT_NE(reason.find("more than 32768 slices; use larger pieces"), std::string::npos);
            continue;
        }
        EXPECT_EQ(plan.pieces, c.pieces);
        EXPECT_EQ(plan.recoverySlices, c.pieces * c.slicesPerPiece);
        const std::uint64_t largest = *std::max_element(c.lengths.begin(), c.lengths.end());
        if (largest > 0) {
            EXPECT_EQ((largest + plan.sliceSize - 1) / plan.sliceSize, c.slicesPerPiece);
        }
    }
    // A split's pieces: the last short or empty; beyond 32769 refused before they are listed.
    std::vector<std::uint64_t> lengths;
    std::string reason;
    ASSERT_TRUE(folder::SplitPieceLengths(8192, 4096, &lengths, &reason));
    EXPECT_EQ(lengths, (std::vector<std::uint64_t>{4096, 4096, 0}));
    EXPECT_FALSE(folder::SplitPieceLengths(std::uint64_t{1} << 40, 4096, &lengths, &reason));
}

}  // namespace
