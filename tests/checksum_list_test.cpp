// SHA-256 against published digests and the system's hash, and the SHA256SUMS file against
// GNU sha256sum's format.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

#include "engine/job_controller.h"
#include "folder/join_verifier.h"
#include "sums/checksum_list.h"
#include "sums/sha256_blocks.h"
#include "sums/sha256_stream.h"
#include "sums/sums_file.h"
#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/sha256.h"
#include "platform/text_encoding.h"
#include "tests/support/job_outcome.h"
#include "tests/support/test_files.h"

namespace {

using sums::ChecksumList;
using sums::LineKind;
using sums::LineStyle;

// Updates of 0, 1, 2, … bytes, so that the hash's 64-byte blocks break everywhere.
std::string Digest(platform::Sha256& hasher, const std::string& bytes) {
    std::size_t step = 0;
    for (std::size_t at = 0; at < bytes.size(); at += step++) {
        EXPECT_TRUE(hasher.Update(bytes.data() + at, std::min(step, bytes.size() - at)));
    }
    std::string hex;
    EXPECT_TRUE(hasher.Finish(&hex));
    return hex;
}

TEST(Sha256, PublishedDigestsFromOneHasherInUnevenUpdates) {
    const struct {
        std::string input;
        const char* digest;
    } kCases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    };
    platform::Sha256 hasher;
    for (const auto& c : kCases) {
        EXPECT_EQ(Digest(hasher, c.input), c.digest) << c.input.size() << " bytes";
    }
}

// Streams on the processor's SHA instructions, alone and two fed in one pass after different
// beginnings that leave them at the same place in a block, first the same bytes and then
// different ones, against the system's hash.
TEST(Sha256, StreamsOnTheProcessorsInstructionsAgreeWithTheSystemsHash) {
    if (!sums::Sha256BlocksAvailable()) {
        GTEST_SKIP() << "no SHA instructions on this processor";
    }
    const struct {
        std::size_t first;   // bytes the first stream has alone
        std::size_t second;  // and the second, as long modulo 64
        std::size_t shared;  // then both take these
    } kCases[] = {
        {0, 0, 0},   {0, 0, 1000003}, {3, 67, 200},   {63, 127, 64},  {64, 0, 0},   {100, 36, 5000},
        {55, 55, 1}, {56, 120, 8},    {119, 55, 130}, {0, 64, 65536}, {50, 114, 5},
    };
    sums::Sha256Stream first;
    sums::Sha256Stream second;
    unsigned salt = 0;
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::to_string(c.first) + "+" + std::to_string(c.second) + " then " +
                     std::to_string(c.shared));
        const std::string a = Pattern(c.first, ++salt);
        const std::string b = Pattern(c.second, ++salt);
        const std::string both = Pattern(c.shared, ++salt);
        const std::string apart = Pattern(c.shared, ++salt);
        // Uneven updates, so that blocks break everywhere.
        for (std::size_t at = 0, step = 1; at < a.size(); at += step, step = step * 3 % 97) {
            first.Update(a.data() + at, std::min(step, a.size() - at));
        }
        second.Update(b.data(), b.size());
        ASSERT_EQ(first.Offset(), second.Offset());
        const std::size_t half = both.size() / 2;
        sums::Sha256Stream::UpdateBoth(first, both.data(), second, both.data(), half);
        sums::Sha256Stream::UpdateBoth(first, both.data() + half, second, apart.data() + half,
                                       both.size() - half);
        platform::Sha256 system;
        EXPECT_EQ(first.Finish(), Digest(system, a + both));
        EXPECT_EQ(second.Finish(), Digest(system, b + both.substr(0, half) + apart.substr(half)));
    }
    sums::Sha256Stream stream;
    const std::string million(1000000, 'a');
    stream.Update(million.data(), million.size());
    EXPECT_EQ(stream.Finish(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Md5, PublishedDigestsFromOneHasher) {
    const struct {
        std::string input;
        const char* digest;
    } kCases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    platform::Hash md5(platform::HashAlgorithm::kMd5);
    for (const auto& c : kCases) {
        unsigned char digest[16];
        ASSERT_TRUE(md5.Begin());
        ASSERT_TRUE(md5.Update(c.input.data(), c.input.size()));
        ASSERT_TRUE(md5.End(digest));
        EXPECT_EQ(platform::ToHex(digest, sizeof digest), c.digest);
    }
}

const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST(ChecksumList, ReadsLinesAsSha256sumDoes) {
    std::string upper = kAbc;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    // Each line read first in a file, so that it decides the file's style.
    const struct {
        std::string line;
        const char* name;  // null: no checksum line
        LineKind kind;
    } kCases[] = {
        {kAbc + "  a b", "a b", LineKind::kChecksum},
        {kAbc + " *binary", "binary", LineKind::kChecksum},
        {kAbc + " single", "single", LineKind::kChecksum},
        {upper + "  upper", "upper", LineKind::kChecksum},
        {" \t" + kAbc + "  indented", "indented", LineKind::kChecksum},
        {kAbc + "\t tab", "tab", LineKind::kChecksum},
        {kAbc + "  crlf\r", "crlf", LineKind::kChecksum},
        {kAbc + "   lead", " lead", LineKind::kChecksum},
        {kAbc + "  a\\b", "a\\b", LineKind::kChecksum},
        {"\\" + kAbc + "  a\\\\b\\nc\\rd", "a\\b\nc\rd", LineKind::kChecksum},
        {"SHA256 (tag ged) = " + kAbc, "tag ged", LineKind::kChecksum},
        {"SHA256(a) b) = " + upper, "a) b", LineKind::kChecksum},
        {"\\SHA256 (x\\ny) = " + kAbc, "x\ny", LineKind::kChecksum},
        {"SHA256 (x) = " + kAbc + "0", nullptr, LineKind::kMalformed},
        {"MD5 (x) = " + kAbc, nullptr, LineKind::kMalformed},
        {"\\" + kAbc + "  a\\tb", nullptr, LineKind::kMalformed},
        {"\\" + kAbc + "  a\\", nullptr, LineKind::kMalformed},
        {kAbc.substr(1) + "  short", nullptr, LineKind::kMalformed},
        {"g" + kAbc.substr(1) + "  nothex", nullptr, LineKind::kMalformed},
        {kAbc + "  ", " ", LineKind::kChecksum},
        {kAbc + " ", nullptr, LineKind::kMalformed},
        {"# " + kAbc + "  comment", nullptr, LineKind::kIgnored},
        {"\r", nullptr, LineKind::kIgnored},
#ifdef _WIN32
        // A name the narrow code page cannot hold names no file of this program.
        {kAbc + "  \xf0\x9f\x98\x80.bin", nullptr, LineKind::kForeignName},
#endif
    };
    for (const auto& c : kCases) {
        sums::Checksum checksum;
        LineStyle style = LineStyle::kUndecided;
        ASSERT_EQ(sums::ParseChecksumLine(c.line, &style, &checksum), c.kind) << c.line;
        if (c.name != nullptr) {
            EXPECT_EQ(checksum.name, c.name);
            EXPECT_EQ(checksum.digest, kAbc);
        }
    }
}

TEST(ChecksumList, TheFirstLineDecidesTheStyleAndLinesForOneNameMustAgree) {
    const std::string b(64, 'b');
    const struct {
        std::string text;
        std::vector<int> malformed;
        std::map<int, std::string> pieces;
        std::vector<std::string> conflicts;
    } kCases[] = {
        // A single blank after the digest in a file of sha256sum's own style is no line.
        {kAbc + "  1__f\n" + b + " 2__f\n", {2}, {{1, kAbc}}, {}},
        // In a reversed file a standard line's mode character belongs to the name.
        {kAbc + " 1__f\n" + b + "  2__f\n", {}, {{1, kAbc}}, {}},
        {"SHA256 (1__f) = " + kAbc + "\n" + b + " 2__f\n", {}, {{1, kAbc}, {2, b}}, {}},
        {b + "  1__f\n" + kAbc + "  1__f\n" + kAbc + "  1__f\n", {}, {{1, kAbc}}, {"1__f"}},
        {kAbc + "  1__f\n" + kAbc + " *1__f\n\n# note\n", {}, {{1, kAbc}}, {}},
    };
    for (const auto& c : kCases) {
        TempFolder dir;
        WriteWholeFile(dir / "SHA256SUMS", c.text);
        ChecksumList list;
        std::string reason;
        ASSERT_EQ(list.Read(dir / "SHA256SUMS", &reason), ChecksumList::ReadResult::kRead);
        EXPECT_EQ(list.MalformedLines(), c.malformed) << c.text;
        const sums::SplitChecksums found = list.Find("f");
        EXPECT_EQ(found.pieces, c.pieces) << c.text;
        EXPECT_EQ(found.conflicts, c.conflicts) << c.text;
    }
}

TEST(ChecksumList, SplittingAgainReplacesOnlyThatFilesLines) {
    TempFolder dir;
    const std::string a(64, 'a'), b(64, 'b'), c(64, 'c');
    WriteWholeFile(dir / "SHA256SUMS", "# by hand\r\n" + a + "  1__film.avi\n" + b +
                                           "  other.iso\n" + a + "  3__film.avi\n" + a +
                                           "  01__film.avi\n" + a + "  film.avi\n" + a +
                                           "  1__film.avi.bak\nno line end");
    ChecksumList list;
    std::string reason;
    ASSERT_EQ(list.Read(dir / "SHA256SUMS", &reason), ChecksumList::ReadResult::kRead) << reason;
    std::string failed;
    ASSERT_TRUE(sums::UpdateSumsFile(
        dir.Path(),
        [&](ChecksumList* read) {
            return read->ReplaceSplit("film.avi", {c, c}, c);
        },
        &failed, &reason))
        << failed << ": " << reason;
    EXPECT_EQ(ReadWholeFile(dir / "SHA256SUMS"),
              "# by hand\r\n" + b + "  other.iso\n" + a + "  01__film.avi\n" + a +
                  "  1__film.avi.bak\nno line end\n" + c + "  1__film.avi\n" + c +
                  "  2__film.avi\n" + c + "  film.avi\n");
    EXPECT_EQ(ListNames(dir.Path()), (std::vector<std::string>{".SHA256SUMS.lock", "SHA256SUMS"}));
    // Without checksums the file's lines go, and the others stay.
    ASSERT_TRUE(sums::UpdateSumsFile(
        dir.Path(), [](ChecksumList* read) { return read->RemoveSplit("film.avi"); }, &failed,
        &reason));
    EXPECT_EQ(ReadWholeFile(dir / "SHA256SUMS"), "# by hand\r\n" + b + "  other.iso\n" + a +
                                                     "  01__film.avi\n" + a +
                                                     "  1__film.avi.bak\nno line end\n");
}

// Another program may be reading the list without its lock (a split checking it before it
// starts, a join): Windows replaces no open file, so the update waits for that reader.
TEST(ChecksumList, AnUpdateWaitsForAReaderOfTheList) {
    TempFolder dir;
    const std::string a(64, 'a'), b(64, 'b');
    WriteWholeFile(dir / "SHA256SUMS", a + "  other.iso\n");
    platform::File reader;
    ASSERT_TRUE(reader.Open(dir / "SHA256SUMS", platform::File::Access::kReadReplaceable));
    bool updated = false;
    std::string failed;
    std::string reason;
    std::thread update([&] {
        updated = sums::UpdateSumsFile(
            dir.Path(), [&](ChecksumList* list) { return list->ReplaceSplit("f", {b}, b); },
            &failed, &reason);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(reader.Close());
    update.join();
    ASSERT_TRUE(updated) << failed << ": " << reason;
    EXPECT_EQ(ReadWholeFile(dir / "SHA256SUMS"),
              a + "  other.iso\n" + b + "  1__f\n" + b + "  f\n");
}

TEST(ChecksumList, NamesComeBackAndSha256sumChecksThem) {
    std::vector<std::string> names = {"with blank.avi"};
    std::string chinese;
    ASSERT_TRUE(platform::Utf8ToNarrow(u8"中文 名.mkv", &chinese));
    names.push_back(chinese);
#ifndef _WIN32
    // Windows names cannot hold these; sha256sum writes them escaped.
    names.push_back("back\\slash.bin");
    names.push_back("new\nline\r");
#endif
    TempFolder dir;
    ChecksumList list;
    platform::Sha256 hasher;
    std::vector<sums::SplitChecksums> written;
    for (unsigned i = 0; i < names.size(); ++i) {
        const std::string pieces[] = {Pattern(5000, i), Pattern(77, i + 10)};
        sums::SplitChecksums split;
        for (int k = 1; k <= 2; ++k) {
            WriteWholeFile(dir / PieceName(k, names[i]), pieces[k - 1]);
            split.pieces[k] = Digest(hasher, pieces[k - 1]);
        }
        WriteWholeFile(dir / names[i], pieces[0] + pieces[1]);
        split.file = Digest(hasher, pieces[0] + pieces[1]);
        ASSERT_TRUE(list.ReplaceSplit(names[i], {split.pieces[1], split.pieces[2]}, split.file));
        written.push_back(split);
    }
    std::string reason;
    std::string failed;
    ASSERT_TRUE(sums::UpdateSumsFile(
        dir.Path(), [&](ChecksumList* read) { return (*read = list, true); }, &failed, &reason))
        << reason;
    ChecksumList back;
    ASSERT_EQ(back.Read(dir / "SHA256SUMS", &reason), ChecksumList::ReadResult::kRead) << reason;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const sums::SplitChecksums found = back.Find(names[i]);
        EXPECT_EQ(found.pieces, written[i].pieces) << names[i];
        EXPECT_EQ(found.file, written[i].file) << names[i];
    }
#ifndef _WIN32
    EXPECT_EQ(std::system(
                  ("cd '" + dir.Path() + "' && sha256sum --quiet --strict -c SHA256SUMS").c_str()),
              0);
#endif
}

TEST(ChecksumList, FailuresToReadOrWriteAreToldApart) {
    TempFolder dir;
    MakeFolder(dir / "folder");
    ChecksumList list;
    std::string reason;
    EXPECT_EQ(list.Read(dir / "SHA256SUMS", &reason), ChecksumList::ReadResult::kMissing);
    EXPECT_EQ(list.Read(dir / "none/SHA256SUMS", &reason), ChecksumList::ReadResult::kMissing);
    reason.clear();
    EXPECT_EQ(list.Read(dir / "folder", &reason), ChecksumList::ReadResult::kFailed);
    EXPECT_NE(reason, "");
    reason.clear();
    std::string failed;
    EXPECT_FALSE(sums::UpdateSumsFile(
        dir / "none", [](ChecksumList*) { return true; }, &failed, &reason));
    EXPECT_EQ(failed, dir / "none/.SHA256SUMS.lock");
    EXPECT_NE(reason, "");
}

// A join checked against its list: each piece, and the file's own line only when the list
// has no lines for the pieces; with them, the file is the pieces checked in order and is not
// hashed again.
TEST(JoinChecker, TheFilesLineIsHashedOnlyWhereThePiecesHaveNoLines) {
    const std::string pieces[] = {Pattern(5000, 1), Pattern(5000, 2), Pattern(123, 3)};
    const std::string whole = pieces[0] + pieces[1] + pieces[2];
    platform::Sha256 sha;
    const struct {
        const char* name;
        bool pieceLines;
        bool fileLineRight;
        int damaged;  // a piece whose byte is changed after the list was made
        unsigned result;
        const char* failed;  // the name the finding gives
    } kCases[] = {
        {"every piece listed, the file's line wrong", true, false, 0, JOB_OK, ""},
        {"every piece listed, piece 2 damaged", true, true, 2, JOB_SOURCE_ERROR, "2__f.bin"},
        {"only the file's line", false, true, 0, JOB_OK, ""},
        {"only the file's line, piece 2 damaged", false, true, 2, JOB_SOURCE_ERROR, "f.bin"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        MakeFolder(dir / "in");
        std::vector<std::string> digests;
        for (int k = 1; k <= 3; ++k) {
            std::string bytes = pieces[k - 1];
            if (c.pieceLines) {
                digests.push_back(Digest(sha, bytes));
            }
            if (k == c.damaged) {
                bytes[100] ^= 1;
            }
            WriteWholeFile(dir / ("in/" + std::to_string(k) + "__f.bin"), bytes);
        }
        ChecksumList list;
        ASSERT_TRUE(list.ReplaceSplit("f.bin", digests,
                                      c.fileLineRight ? Digest(sha, whole) : std::string(64, '0')));
        WriteWholeFile(dir / "in/SHA256SUMS", list.Text());

        folder::JoinVerifier verifier;
        sums::JoinChecker& checker = verifier.Checker();
        checker.ReadList(dir / "in");
        std::string reason;
        ASSERT_TRUE(checker.Start(&reason)) << reason;
        JobReceiver receiver;
        CJobController controller(receiver.Target());
        controller.SetObserver(&verifier);
        JoinOptions staged;
        staged.staged = true;
        ASSERT_TRUE(controller.StartJoin((dir / "out").c_str(), (dir / "in").c_str(), staged));
        const JobOutcome job = CollectJob(receiver);
        EXPECT_EQ(job.result, c.result);
        EXPECT_TRUE(checker.Verifying());
        EXPECT_EQ(checker.Failed() ? checker.Failure().name : "", c.failed);
        EXPECT_EQ(Exists(dir / "out/f.bin"), c.result == JOB_OK);
        if (c.result == JOB_OK) {
            EXPECT_EQ(ReadWholeFile(dir / "out/f.bin"), whole);
        }
    }
}

}  // namespace
