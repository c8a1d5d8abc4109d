// Recovery files against Debian's par2, which nobody here wrote: ours verified and repaired
// by it, its own (any slice size that divides the pieces) scanned and repaired by us.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/file_system.h"
#include "tests/recovery/recovery_support.h"

#ifndef _WIN32

namespace {

using namespace recovery;
using namespace recovery_test;

int Par2(const TempFolder& dir, const std::string& arguments) {
    return std::system(
        ("cd '" + dir.Path() + "' && par2 " + arguments + " >/dev/null 2>&1").c_str());
}

struct Case {
    const char* what;
    const char* file;
    std::vector<std::size_t> lengths;
    bool ours;            // who creates: this library, or par2 create
    std::uint64_t slice;  // or 0: the creator's choice (ours), par2's default
    std::uint32_t recovery;
    std::vector<std::size_t> deleted;
    std::vector<std::size_t> damaged;
};

TEST(Par2Interop, EachRepairsWhatTheOtherCreated) {
    const Case cases[] = {
        {"ours, pieces lost", "film.avi", {65536, 65536, 65536, 20000}, true, 0, 3, {1}, {0, 3}},
        {"ours, one piece", "one.bin", {30000}, true, 0, 1, {0}, {}},
        {"ours, empty last piece", "e.bin", {4096, 4096, 0}, true, 0, 2, {0}, {1}},
        {"ours, Chinese names", "中文 名字.mkv", {9000, 9000, 1234}, true, 0, 2, {2}, {0}},
        {"ours, several slices a piece", "s.bin", {40000, 40000, 40000, 999}, true, 16384, 5, {1},
         {0}},
        {"ours, nine pieces of one length",
         "p.bin",
         {20000, 20000, 20000, 20000, 20000, 20000, 20000, 20000, 20000, 300},
         true,
         8192,
         4,
         {4},
         {9}},
        {"par2's, several slices a piece",
         "film.avi",
         {65536, 65536, 65536, 1000},
         false,
         16384,
         12,
         {2},
         {0, 3}},
        {"par2's, a slice a piece", "a.bin", {20000, 20000, 20000}, false, 20000, 2, {0}, {2}},
        {"par2's, Chinese names", "中文.bin", {8192, 8192, 300}, false, 4096, 5, {0}, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        const std::vector<PieceFile> pieces = MakePieces(dir, c.file, c.lengths);
        const auto original = Snapshot(dir.Path());
        if (c.ours) {
            ASSERT_TRUE(Create(dir, pieces, c.recovery, c.slice).Ok());
        } else {
            std::string names;
            for (const PieceFile& piece : pieces) {
                if (ReadWholeFile(piece.path).size() > 0) {
                    names += " '" + piece.name + "'";
                }
            }
            ASSERT_EQ(Par2(dir, "create -q -s" + std::to_string(c.slice) + " -c" +
                                    std::to_string(c.recovery) + " set.par2" + names),
                      0);
        }
        ASSERT_EQ(Par2(dir, "verify set.par2"), 0);
        EXPECT_TRUE(ScanOne(dir).Complete());
        for (std::size_t i : c.deleted) {
            ASSERT_TRUE(platform::RemoveFile(pieces[i].path));
        }
        for (std::size_t i : c.damaged) {
            std::string bytes = ReadWholeFile(pieces[i].path);
            bytes = bytes.empty() ? "x" : bytes.substr(0, bytes.size() - 1) + "!";
            WriteWholeFile(pieces[i].path, bytes);
        }
        EXPECT_NE(Par2(dir, "verify set.par2"), 0);
        if (c.ours) {
            // par2 repairs ours; its backups of damaged pieces (NAME.1) are left out below.
            ASSERT_EQ(Par2(dir, "repair -p set.par2"), 0);
        } else {
            const SetReport report = ScanOne(dir);
            ASSERT_TRUE(report.Repairable());
            RepairResult result;
            const Status status = RepairSet(report, KeepGoing(), &result);
            ASSERT_TRUE(status.Ok()) << status.path << ": " << status.reason;
            EXPECT_EQ(Par2(dir, "verify set.par2"), 0);
        }
        for (const auto& [name, bytes] : original) {
            EXPECT_EQ(ReadWholeFile(dir / name), bytes) << name;
        }
    }
}

TEST(Par2Interop, OneLossTooManyChangesNothing) {
    TempFolder dir;
    const std::vector<PieceFile> pieces = MakePieces(dir, "f.bin", {10000, 10000, 10000, 10000});
    ASSERT_EQ(Par2(dir, "create -q -s5000 -c3 set.par2 1__f.bin 2__f.bin 3__f.bin 4__f.bin"), 0);
    ASSERT_TRUE(platform::RemoveFile(pieces[1].path));
    std::string bytes = ReadWholeFile(pieces[2].path);
    bytes[1000] ^= 1;
    bytes[9000] ^= 1;
    WriteWholeFile(pieces[2].path, bytes);
    const auto before = Snapshot(dir.Path());
    const SetReport report = ScanOne(dir);
    EXPECT_EQ(report.lostSlices, 4u);
    EXPECT_EQ(report.MoreNeeded(), 1u);
    RepairResult result;
    EXPECT_EQ(RepairSet(report, KeepGoing(), &result).failure, Failure::kNotEnough);
    EXPECT_TRUE(Snapshot(dir.Path()) == before);
}

}  // namespace

#endif
