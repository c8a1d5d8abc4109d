// Secantor.exe writing onto a full disk: the drive named by SECANTO_FULL_DRIVE, a small
// tmpfs that tests/system_faults/faults mounts and maps into Wine. With delete-after-use on,
// a split and a join that run out of room must each show the target error box and keep the
// user's data: the source of the split whole, the pieces of the join either left or
// already in the joined file.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "tests/ui/secantor_driver.h"
#include "ui/dialog_texts.h"

namespace {

// Starts the job and answers the box, which must be the target error box.
void ExpectTargetErrorBox(const SecantorProcess& program) {
    Click(program.Item(IDC_START));
    MessageBoxView box;
    ASSERT_TRUE(WaitForMessageBox(program.Id(), &box, 60000)) << "no box";
    EXPECT_EQ(box.caption, kFailureCaption);
    EXPECT_EQ(box.text, kTargetErrorText);
    EXPECT_EQ(box.owner, program.Dialog());
    ASSERT_TRUE(Answer(box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_STATUS)) == kIdleStatus; }));
}

TEST(SecantorFullDisk, SplitAndJoinShowTheTargetErrorBoxAndKeepTheData) {
    const char* drive = std::getenv("SECANTO_FULL_DRIVE");
    if (drive == nullptr) {
        GTEST_SKIP() << "SECANTO_FULL_DRIVE names no drive; tests/system_faults/faults sets it";
    }
    const std::string full = std::string(drive) + "\\";
    TempFolder folder;
    const std::string content = Pattern(3 * kMiB + 5, 11);
    const std::string source = folder / "film.bin";
    WriteWholeFile(source, content);
    ASSERT_TRUE(WritePrivateProfileStringA("Set", "D", "1", (folder / "Set.ini").c_str()));

    SecantorProcess program(folder.Path());
    ASSERT_TRUE(IsChecked(program.Item(IDC_DELETE_SOURCE)));
    SetText(program.Item(IDC_SOURCE_PATH), Wide(source));
    SetText(program.Item(IDC_TARGET_PATH), Wide(full + "pieces"));
    SetText(program.Item(IDC_PIECE_SIZE), L"1");
    ExpectTargetErrorBox(program);
    EXPECT_EQ(ReadWholeFile(source), content) << "the source of the failed split";
    // What fitted is the source's first bytes, in pieces numbered from 1.
    std::string written;
    for (int n = 1; Exists(full + "pieces\\" + std::to_string(n) + "__film.bin"); ++n) {
        written += ReadWholeFile(full + "pieces\\" + std::to_string(n) + "__film.bin");
    }
    EXPECT_EQ(written, content.substr(0, written.size()));
    RemoveTree(full + "pieces");

    // The pieces of the same file, joined onto the full disk.
    MakeFolder(folder / "pieces");
    const std::vector<std::string> pieces = ExpectedPieces(content, kMiB);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        WriteWholeFile(folder / ("pieces/" + std::to_string(i + 1) + "__film.bin"), pieces[i]);
    }
    Click(program.Item(IDC_MODE_JOIN));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_START)) == kJoinStart; }));
    SetText(program.Item(IDC_SOURCE_PATH), Wide(folder / "pieces"));
    SetText(program.Item(IDC_TARGET_PATH), Wide(full + "joined"));
    ExpectTargetErrorBox(program);
    const std::string joined = Exists(full + "joined\\film.bin")
                                   ? ReadWholeFile(full + "joined\\film.bin")
                                   : std::string();
    std::string left;
    std::size_t gone = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::string path = folder / ("pieces/" + std::to_string(i + 1) + "__film.bin");
        if (Exists(path)) {
            left += ReadWholeFile(path);
        } else {
            EXPECT_EQ(gone, i) << "piece " << i + 1 << " is gone while a piece before it stays";
            gone += 1;
        }
    }
    ASSERT_GE(joined.size(), content.size() - left.size()) << "deleted pieces are not joined";
    EXPECT_EQ(joined.substr(0, content.size() - left.size()) + left, content);
    RemoveTree(full + "joined");

    Click(GetDlgItem(program.Dialog(), IDCANCEL));
    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(kDefaultWaitMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
