// The target folders proposed after a source was picked, in the Chinese ANSI code page.
#include "engine/target_rules.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

struct Row {
    const char* source;
    const char* target;
};

// "謀" and "癨" in code page 936: double-byte characters whose second byte is the value of
// '\'.
constexpr char kMou[] = "\xD6\x5C";
constexpr char kHuo[] = "\xB0\x5C";

TEST(SplitTarget, DropsTheExtensionOfTheFileNameOnly) {
    const Row rows[] = {
        {"D:\\films\\movie.avi", "D:\\films\\movie"},
        {"D:\\a\\b.part1.rar", "D:\\a\\b.part1"},
        // A dot in a folder above the file is no extension: the target would lie elsewhere.
        {"D:\\ver1.2\\data", ""},
        {"D:\\data\\file", ""},
        {"D:\\movie.avi", "D:\\movie"},
        {"D:\\films\\name.", "D:\\films\\name"},
        {"movie.avi", "movie"},
        {"", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(SplitTargetFor(row.source), row.target) << row.source;
    }
}

TEST(SplitTarget, SecondBytesOfDoubleByteCharactersAreNoSeparators) {
    ASSERT_EQ(GetACP(), 936u) << "these names mean something only in code page 936";
    const std::string mou = kMou;
    const std::string huo = kHuo;
    // The file "a.謀": its second byte 0x5C must not end the search for the name.
    EXPECT_EQ(SplitTargetFor("D:\\x\\a." + mou), "D:\\x\\a");
    EXPECT_EQ(SplitTargetFor("D:\\" + mou + ".1\\" + huo + ".rar"), "D:\\" + mou + ".1\\" + huo);
    EXPECT_EQ(SplitTargetFor("D:\\" + mou + ".1\\" + huo), "");
}

TEST(JoinTarget, AddsASubfolderNamedLikeThePiecesFolder) {
    const Row rows[] = {
        {"D:\\pieces\\film", "D:\\pieces\\film\\film"},
        {"D:\\pieces\\film\\", "D:\\pieces\\film\\film"},
        {"D:\\pieces\\film\\\\\\", "D:\\pieces\\film\\film"},
        {"D:\\", "D:\\D"},
        {"D:", "D:\\D"},
        {"D:\\a.b", "D:\\a.b\\a.b"},
        {"\\\\server\\share", "\\\\server\\share\\share"},
        {"film", "film\\film"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(JoinTargetFor(row.source), row.target) << row.source;
    }
}

TEST(JoinTarget, SecondBytesOfDoubleByteCharactersAreNeitherTrimmedNorSeparators) {
    ASSERT_EQ(GetACP(), 936u) << "these names mean something only in code page 936";
    const std::string mou = kMou;
    const std::string huo = kHuo;
    EXPECT_EQ(JoinTargetFor("D:\\" + mou), "D:\\" + mou + "\\" + mou);
    EXPECT_EQ(JoinTargetFor("D:\\" + mou + "\\"), "D:\\" + mou + "\\" + mou);
    EXPECT_EQ(JoinTargetFor("D:\\p\\" + mou + huo), "D:\\p\\" + mou + huo + "\\" + mou + huo);
    EXPECT_EQ(JoinTargetFor("D:\\" + huo + "\\film"), "D:\\" + huo + "\\film\\film");
}

}  // namespace
