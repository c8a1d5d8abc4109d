// Paths from the system's wide functions into code page 936, in which the fields and the
// jobs hold them: taken only when they come back unchanged.
#include "ui/ansi_text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ExactAnsiText, TakesWhatCodePage936HoldsAndRefusesTheRest) {
    ASSERT_EQ(GetACP(), 936u);
    std::string ansi;
    ASSERT_TRUE(ExactAnsiText(L"C:\\影片\\film１.avi", &ansi));
    EXPECT_EQ(ansi, "C:\\\xD3\xB0\xC6\xAC\\film\xA3\xB1.avi");
    ASSERT_TRUE(ExactAnsiText(L"", &ansi));
    EXPECT_EQ(ansi, "");

    // Hangul, a Latin letter outside GBK with a plain look-alike, and an emoji: a stand-in
    // would name another file.
    for (const wchar_t* lost : {L"C:\\\xD55C.avi", L"C:\\\x0150.avi", L"C:\\\xD83C\xDFAC.avi"}) {
        ansi = "unchanged";
        EXPECT_FALSE(ExactAnsiText(lost, &ansi)) << ::testing::PrintToString(std::wstring(lost));
        EXPECT_EQ(ansi, "unchanged");
    }
}

}  // namespace
