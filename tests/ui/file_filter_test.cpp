// The open-file dialog's filter in the form the system takes: zero bytes between entries.
#include "ui/file_filter.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FileFilter, EveryBarBecomesAZeroByteAndTheEndGetsTwo) {
    using namespace std::string_literals;
    EXPECT_EQ(SystemFilter("All (*.*)|*.*|Archives|*.rar;*.zip||"),
              "All (*.*)\0*.*\0Archives\0*.rar;*.zip\0\0"s);
    EXPECT_EQ(SystemFilter(""), "");
}

TEST(FileFilter, SecondBytesOfDoubleByteCharactersAreNoBars) {
    ASSERT_EQ(GetACP(), 936u) << "this text means something only in code page 936";
    using namespace std::string_literals;
    // "皘" is 0xB0 0x7C in code page 936; its second byte has the value of '|'.
    EXPECT_EQ(SystemFilter("\xB0\x7C (*.txt)|*.txt||"), "\xB0\x7C (*.txt)\0*.txt\0\0"s);
}

}  // namespace
