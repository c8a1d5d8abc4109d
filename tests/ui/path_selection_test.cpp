// The two browse buttons of Secantor.exe, driven from outside: the open-file dialog for a
// split's source, the folder browser for a join's source and for every target, and the
// target folder proposed after a source was picked.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "tests/ui/chooser_driver.h"
#include "tests/ui/secantor_driver.h"
#include "ui/dialog_texts.h"

namespace {

const std::wstring kFixed = L"D:\\fixed";

// The display texts of the program's filter of source files: the first of each pair.
std::vector<std::wstring> FilterNames() {
    const std::wstring filter = kSourceFilter;
    std::vector<std::wstring> names;
    for (std::size_t at = 0; at < filter.size() && filter[at] != L'|';) {
        const std::size_t bar = filter.find(L'|', at);
        names.push_back(filter.substr(at, bar - at));
        at = filter.find(L'|', bar + 1) + 1;
    }
    return names;
}

class PathSelection : public ::testing::Test {
protected:
    void SetUp() override {
        // The open-file dialog opens in the last folder it showed to this program and makes
        // that the program's current directory, where the settings file is looked for. With
        // that memory cleared it opens in the working folder, as on a first use.
        RegDeleteTreeW(
            HKEY_CURRENT_USER,
            L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU");
        // A fixed folder is stored but the option is off until the test checks its box.
        const std::string ini = m_folder / "Set.ini";
        ASSERT_TRUE(WritePrivateProfileStringA("Set", "Path", Ansi(kFixed).c_str(), ini.c_str()));
        ASSERT_TRUE(WritePrivateProfileStringA("Set", "PathCheck", "0", ini.c_str()));
    }

    static void ExpectFields(const SecantorProcess& program,
                             const std::wstring& source,
                             const std::wstring& target) {
        EXPECT_EQ(Text(program.Item(IDC_SOURCE_PATH)), source);
        EXPECT_EQ(Text(program.Item(IDC_TARGET_PATH)), target);
    }

    static void CheckFixedPath(const SecantorProcess& program) {
        Click(program.Item(IDC_FIXED_PATH));
        ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_TARGET_PATH)) == kFixed; }));
    }

    static void CloseIdle(SecantorProcess& program) {
        Click(GetDlgItem(program.Dialog(), IDCANCEL));
        DWORD exitCode = 1;
        ASSERT_TRUE(program.WaitForExit(kDefaultWaitMs, &exitCode));
    }

    TempFolder m_folder;
};

TEST_F(PathSelection, SourceInSplitModeIsAFileAndProposesItsPathWithoutExtension) {
    // In a folder of its own: choosing it must not move the program's current directory,
    // where the settings file is read and written.
    MakeFolder(m_folder / "films");
    const std::string movie = m_folder / "films/movie.avi";
    const std::string archive = m_folder / "b.part1.rar";
    WriteWholeFile(movie, "m");
    WriteWholeFile(archive, "a");
    SecantorProcess program(m_folder.Path());
    SetText(program.Item(IDC_SOURCE_PATH), L"typed source");
    SetText(program.Item(IDC_TARGET_PATH), L"typed target");

    Click(program.Item(IDC_BROWSE_SOURCE));
    HWND dialog = WaitForChooser(program.Id(), kFileNameField);
    ASSERT_NE(dialog, nullptr) << "no open-file dialog";
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), program.Dialog());
    EXPECT_FALSE(IsWindowEnabled(program.Dialog())) << "modal to the main dialog";
    const std::vector<std::wstring> types = FilterNames();
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(FileTypes(dialog), types);
    EXPECT_EQ(Text(GetDlgItem(dialog, kFileTypeList)), types[0]);
    EXPECT_EQ(Text(FileNameField(dialog)), L"*.*");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, kReadOnlyBox)));
    ASSERT_TRUE(CancelChooser(dialog));
    ExpectFields(program, L"typed source", L"typed target");
    EXPECT_FALSE(HasMessageBox(program.Id()));

    Click(program.Item(IDC_BROWSE_SOURCE));
    dialog = WaitForChooser(program.Id(), kFileNameField);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(ChooseFile(dialog, movie));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_SOURCE_PATH)) == Wide(movie); }));
    EXPECT_EQ(Text(program.Item(IDC_TARGET_PATH)), Wide(m_folder / "films/movie"));

    // With the output folder fixed, only the source changes.
    CheckFixedPath(program);
    Click(program.Item(IDC_BROWSE_SOURCE));
    dialog = WaitForChooser(program.Id(), kFileNameField);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(ChooseFile(dialog, archive));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_SOURCE_PATH)) == Wide(archive); }));
    EXPECT_EQ(Text(program.Item(IDC_TARGET_PATH)), kFixed);
    CloseIdle(program);
    EXPECT_FALSE(Exists(m_folder / "films/Set.ini"));
}

TEST_F(PathSelection, FolderBrowserPicksTargetsAndTheSourceOfAJoinUnderOneTitle) {
    const std::string out = m_folder / "out";
    // "謀": its second byte in code page 936 is the value of '\'.
    const std::string pieces = m_folder / Ansi(L"謀");
    MakeFolder(out);
    MakeFolder(pieces);
    SecantorProcess program(m_folder.Path());
    SetText(program.Item(IDC_SOURCE_PATH), L"typed source");
    SetText(program.Item(IDC_TARGET_PATH), L"typed target");
    std::string error;

    for (int control : {IDC_BROWSE_TARGET, IDC_BROWSE_SOURCE}) {
        SCOPED_TRACE(control);
        Click(program.Item(control));
        HWND browser = WaitForChooser(program.Id(), kFolderTree);
        ASSERT_NE(browser, nullptr) << "no folder browser";
        EXPECT_EQ(Text(GetDlgItem(browser, kFolderTitle)), L"选择目标文件夹");
        EXPECT_EQ(GetWindow(browser, GW_OWNER), program.Dialog());
        EXPECT_FALSE(IsWindowEnabled(program.Dialog())) << "modal to the main dialog";
        ASSERT_TRUE(CancelChooser(browser));
        ExpectFields(program, L"typed source", L"typed target");
        EXPECT_FALSE(HasMessageBox(program.Id()));
        if (control == IDC_BROWSE_TARGET) {
            // In split mode the source button opens the open-file dialog, so join next.
            Click(program.Item(IDC_MODE_JOIN));
        }
    }

    // The target button in join mode changes only the target.
    Click(program.Item(IDC_BROWSE_TARGET));
    HWND browser = WaitForChooser(program.Id(), kFolderTree);
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(ChooseFolder(browser, out, &error)) << error;
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_TARGET_PATH)) == Wide(out); }));
    EXPECT_EQ(Text(program.Item(IDC_SOURCE_PATH)), L"typed source");

    Click(program.Item(IDC_BROWSE_SOURCE));
    browser = WaitForChooser(program.Id(), kFolderTree);
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(ChooseFolder(browser, pieces, &error)) << error;
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_SOURCE_PATH)) == Wide(pieces); }));
    EXPECT_EQ(Text(program.Item(IDC_TARGET_PATH)), Wide(pieces + "\\" + Ansi(L"謀")));

    CheckFixedPath(program);
    Click(program.Item(IDC_BROWSE_SOURCE));
    browser = WaitForChooser(program.Id(), kFolderTree);
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(ChooseFolder(browser, out, &error)) << error;
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_SOURCE_PATH)) == Wide(out); }));
    EXPECT_EQ(Text(program.Item(IDC_TARGET_PATH)), kFixed);
    CloseIdle(program);
}

}  // namespace
