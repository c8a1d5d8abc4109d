// Path and name rules, including double-byte characters whose second byte is '\'.
#include <gtest/gtest.h>

#include "engine/job_paths.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "tests/support/test_files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const std::string kSep(1, platform::kPathSeparator);

TEST(JobPaths, SeparatorIsAppendedOnlyWhereMissing) {
    std::string path = "out";
    AppendSeparator(&path);
    EXPECT_EQ(path, "out" + kSep);
    AppendSeparator(&path);
    EXPECT_EQ(path, "out" + kSep);
    std::string empty;
    AppendSeparator(&empty);
    EXPECT_EQ(empty, kSep);
}

TEST(JobPaths, PieceNamesAndTheirNumbers) {
    EXPECT_EQ(PieceName(1, "film.avi"), "1__film.avi");
    EXPECT_EQ(PieceName(10, "a__b.txt"), "10__a__b.txt");
    int number = 0;
    EXPECT_TRUE(ParsePieceNumber("12__a__b.txt", "a__b.txt", &number));
    EXPECT_EQ(number, 12);
    for (const char* other : {"012__a.txt", "0__a.txt", "-1__a.txt", "+1__a.txt", "x__a.txt",
                              "__a.txt", "1__a.txt.bak", "1_a.txt", "99999999999__a.txt"}) {
        EXPECT_FALSE(ParsePieceNumber(other, "a.txt", &number)) << other;
    }
}

TEST(JobPaths, NameAfterTheFirstMarker) {
    std::string name;
    ASSERT_TRUE(NameAfterMarker("12__my__notes.txt", &name));
    EXPECT_EQ(name, "my__notes.txt");
    ASSERT_TRUE(NameAfterMarker("x__", &name));
    EXPECT_EQ(name, "");
    EXPECT_FALSE(NameAfterMarker("a_b_c", &name));
}

TEST(JobPaths, FolderChainIsMadeOutermostFirst) {
    TempFolder dir;
    const std::string deep = dir / "a/b/c";
    CreateFolderChain(deep);
    EXPECT_TRUE(Exists(deep));
    CreateFolderChain(deep + kSep);  // existing folders and a trailing separator are fine
    EXPECT_TRUE(Exists(deep));
}

#ifdef _WIN32
// In code page 936, 0xD6 0x5C is one character; its second byte is the value of '\'.
const std::string kTrail5C = "\xD6\x5C";

TEST(JobPathsCodePage936, SecondBytesAreNeverSeparators) {
    ASSERT_EQ(GetACP(), 936u) << "run with LANG=zh_CN.UTF-8";
    EXPECT_EQ(platform::CharLength(kTrail5C.c_str()), 2u);
    const std::string name = "a" + kTrail5C;
    EXPECT_FALSE(EndsWithSeparator(name));
    std::string path = name;
    AppendSeparator(&path);
    EXPECT_EQ(path, name + "\\");
    EXPECT_EQ(FindInPath(kTrail5C + "\\x", "\\"), 2u);
    // 0xD6 0x5F is one character, so the "__" that starts in its second byte is no match.
    EXPECT_EQ(FindInPath("\xD6_"
                         "_x__",
                         "__"),
              4u);
}

TEST(JobPathsCodePage936, FolderChainWithDoubleByteNames) {
    ASSERT_EQ(GetACP(), 936u);
    TempFolder dir;
    const std::string deep = dir.Path() + "p" + kTrail5C + "\\q" + kTrail5C;
    CreateFolderChain(deep);
    EXPECT_TRUE(Exists(deep));
    // The false separator must not have made a folder named "p\xD6".
    EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{"p" + kTrail5C});
}
#endif

}  // namespace
