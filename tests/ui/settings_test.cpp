// The settings file in the current directory: defaults, value forms, the path limit and
// the ANSI code page of what is stored.
#include "ui/settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_files.h"

namespace {

// Runs each test in a fresh folder made current, as the program finds ".\Set.ini".
class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        char previous[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, previous);
        m_previous = previous;
        ASSERT_TRUE(SetCurrentDirectoryA(m_folder.Path().c_str()));
    }
    void TearDown() override { SetCurrentDirectoryA(m_previous.c_str()); }

    std::string IniPath() const { return m_folder / "Set.ini"; }

    void Store(const char* key, const char* value) const {
        ASSERT_TRUE(WritePrivateProfileStringA("Set", key, value, IniPath().c_str()));
    }

    std::string Stored(const char* key) const {
        char value[1024];
        GetPrivateProfileStringA("Set", key, "<missing>", value, sizeof value, IniPath().c_str());
        return value;
    }

    TempFolder m_folder;
    std::string m_previous;
};

TEST_F(SettingsFile, MissingFileYieldsDefaultsAndReadingCreatesNothing) {
    EXPECT_FALSE(settings::ReadOption(settings::kDeleteSource));
    EXPECT_FALSE(settings::ReadOption(settings::kFixedPath));
    EXPECT_EQ(settings::ReadFixedPath(), "");
    EXPECT_FALSE(Exists(IniPath()));
}

TEST_F(SettingsFile, AnyNonzeroIntegerIsOnAndTextWithoutDigitsIsOff) {
    Store("D", "2");
    Store("PathCheck", "abc");
    EXPECT_TRUE(settings::ReadOption(settings::kDeleteSource));
    EXPECT_FALSE(settings::ReadOption(settings::kFixedPath));
    Store("D", "0");
    Store("PathCheck", "7");
    EXPECT_FALSE(settings::ReadOption(settings::kDeleteSource));
    EXPECT_TRUE(settings::ReadOption(settings::kFixedPath));
}

TEST_F(SettingsFile, WritesCreateTheFileWithOneOrZeroAndThePathUnchanged) {
    settings::WriteOption(settings::kDeleteSource, true);
    ASSERT_TRUE(Exists(IniPath()));
    EXPECT_EQ(Stored("D"), "1");
    settings::WriteOption(settings::kDeleteSource, false);
    EXPECT_EQ(Stored("D"), "0");
    settings::WriteOption(settings::kFixedPath, true);
    EXPECT_EQ(Stored("PathCheck"), "1");

    settings::WriteFixedPath("C:\\out\\pieces");
    EXPECT_EQ(settings::ReadFixedPath(), "C:\\out\\pieces");
    settings::WriteFixedPath("");
    EXPECT_EQ(Stored("Path"), "");
    EXPECT_EQ(settings::ReadFixedPath(), "");
}

TEST_F(SettingsFile, StoredPathComesBackCutTo259Bytes) {
    const std::string longest = "C:\\" + std::string(settings::kMaxPathBytes - 3, 'a');
    Store("Path", longest.c_str());
    EXPECT_EQ(settings::ReadFixedPath(), longest);

    const std::string tooLong = "C:\\" + std::string(297, 'b');
    Store("Path", tooLong.c_str());
    EXPECT_EQ(settings::ReadFixedPath(), tooLong.substr(0, settings::kMaxPathBytes));
}

TEST_F(SettingsFile, PathIsStoredInTheAnsiCodePage) {
    ASSERT_EQ(GetACP(), 936u) << "the tests run with the Chinese ANSI code page";
    // "D:\分割" in code page 936; 割 is 0xB8 0xEE.
    const std::string path = "D:\\\xB7\xD6\xB8\xEE";
    settings::WriteFixedPath(path);
    EXPECT_NE(ReadWholeFile(IniPath()).find("Path=" + path), std::string::npos);
    EXPECT_EQ(settings::ReadFixedPath(), path);
}

TEST_F(SettingsFile, FileIsTheOneInTheCurrentDirectory) {
    settings::WriteOption(settings::kDeleteSource, true);
    TempFolder other;
    ASSERT_TRUE(SetCurrentDirectoryA(other.Path().c_str()));
    EXPECT_FALSE(settings::ReadOption(settings::kDeleteSource));
    settings::WriteOption(settings::kFixedPath, true);
    EXPECT_TRUE(Exists(other / "Set.ini"));
    EXPECT_EQ(Stored("PathCheck"), "<missing>");
    ASSERT_TRUE(SetCurrentDirectoryA(m_folder.Path().c_str()));
}

}  // namespace
