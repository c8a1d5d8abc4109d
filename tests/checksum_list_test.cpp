// SHA-256 against published digests, and the SHA256SUMS file against GNU sha256sum's format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "cli/checksum_list.h"
#include "engine/job_paths.h"
#include "platform/sha256.h"
#include "platform/text_encoding.h"
#include "tests/support/test_files.h"

namespace {

using cli::ChecksumList;

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
    const struct {
        std::string line;
        const char* name;  // null: no checksum line
    } kCases[] = {
        {kAbc + "  a b", "a b"},
        {kAbc + " *binary", "binary"},
        {upper + "  upper", "upper"},
        {" \t" + kAbc + "  indented", "indented"},
        {kAbc + "  crlf\r", "crlf"},
        {kAbc + "   lead", " lead"},
        {kAbc + "  a\\b", "a\\b"},
        {"\\" + kAbc + "  a\\\\b\\nc\\rd", "a\\b\nc\rd"},
        {"\\" + kAbc + "  a\\tb", nullptr},
        {"\\" + kAbc + "  a\\", nullptr},
        {kAbc.substr(1) + "  short", nullptr},
        {"g" + kAbc.substr(1) + "  nothex", nullptr},
        {"# " + kAbc + "  comment", nullptr},
    };
    for (const auto& c : kCases) {
        cli::Checksum checksum;
        ASSERT_EQ(cli::ParseChecksumLine(c.line, &checksum), c.name != nullptr) << c.line;
        if (c.name != nullptr) {
            EXPECT_EQ(checksum.name, c.name);
            EXPECT_EQ(checksum.digest, kAbc);
        }
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
    ASSERT_TRUE(list.ReplaceSplit("film.avi", {c, c}, c));
    ASSERT_TRUE(list.Write(dir / "SHA256SUMS", &reason)) << reason;
    EXPECT_EQ(ReadWholeFile(dir / "SHA256SUMS"),
              "# by hand\r\n" + b + "  other.iso\n" + a + "  01__film.avi\n" + a +
                  "  1__film.avi.bak\nno line end\n" + c + "  1__film.avi\n" + c +
                  "  2__film.avi\n" + c + "  film.avi\n");
    EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{"SHA256SUMS"});
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
    std::vector<cli::SplitChecksums> written;
    for (unsigned i = 0; i < names.size(); ++i) {
        const std::string pieces[] = {Pattern(5000, i), Pattern(77, i + 10)};
        cli::SplitChecksums split;
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
    ASSERT_TRUE(list.Write(dir / "SHA256SUMS", &reason)) << reason;
    ChecksumList back;
    ASSERT_EQ(back.Read(dir / "SHA256SUMS", &reason), ChecksumList::ReadResult::kRead) << reason;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const cli::SplitChecksums found = back.Find(names[i]);
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
    EXPECT_FALSE(list.Write(dir / "none/SHA256SUMS", &reason));
    EXPECT_NE(reason, "");
}

}  // namespace
