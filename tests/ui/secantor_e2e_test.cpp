// Secantor.exe driven from outside, as a person uses it: each test starts the real program
// in a fresh working folder, types into its fields, clicks its buttons, answers its boxes
// and checks the screen, the files on disk and ".\Set.ini".
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "tests/ui/secantor_driver.h"

namespace {

constexpr unsigned kWmJobRange = WM_USER + 100;
constexpr unsigned kWmJobDone = WM_USER + 101;
constexpr unsigned kWmJobProgress = WM_USER + 102;

constexpr std::size_t kMiB = 1u << 20;

const std::wstring kIdle = L"    状态显示：";
const std::wstring kSplitSource = L"请选择要分割的文件：";
const std::wstring kSplitTarget = L"请选择分割后保存到的文件夹：";
const std::wstring kJoinSource = L"请选择待合并文件的文件夹：";
const std::wstring kJoinTarget = L"请选择合并后保存到的文件夹：";
const std::wstring kEmptyField = L"文件或路径名称不能为空";
const std::wstring kBadSize = L"分割大小必须是1到4095之间的整数（单位M）";

std::wstring Finished(int pieces) {
    return L" 完成" + std::to_wstring(pieces) + L"个文件";
}

class Secantor : public ::testing::Test {
protected:
    std::string IniPath() const { return m_folder / "Set.ini"; }

    std::string Stored(const char* key) const {
        char value[1024];
        GetPrivateProfileStringA("Set", key, "<missing>", value, sizeof value, IniPath().c_str());
        return value;
    }

    void Store(const char* key, const char* value) const {
        ASSERT_TRUE(WritePrivateProfileStringA("Set", key, value, IniPath().c_str()));
    }

    // Waits for a box and checks what it says and how it is shown.
    static MessageBoxView ExpectBox(const SecantorProcess& program,
                                    const std::wstring& caption,
                                    const std::wstring& text,
                                    HWND owner,
                                    bool icon,
                                    std::vector<int> buttons) {
        MessageBoxView box;
        EXPECT_TRUE(WaitForMessageBox(program.Id(), &box)) << "no box for " << Ansi(text);
        EXPECT_EQ(box.caption, caption);
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.owner, owner);
        EXPECT_EQ(box.hasIcon, icon);
        EXPECT_EQ(box.buttons, buttons);
        return box;
    }

    static void ExpectIdleTexts(const SecantorProcess& program, bool split) {
        EXPECT_EQ(Text(program.Item(kStart)), split ? L"分割" : L"合并");
        EXPECT_EQ(Text(program.Item(kSourceLabel)), split ? kSplitSource : kJoinSource);
        EXPECT_EQ(Text(program.Item(kTargetLabel)), split ? kSplitTarget : kJoinTarget);
        EXPECT_EQ(IsWindowEnabled(program.Item(kPieceSize)) != 0, split);
        EXPECT_EQ(Text(program.Item(kStatus)), kIdle);
        EXPECT_EQ(ProgressPos(program.Item(kProgress)), 0);
    }

    // Closes an idle program with its close button: no question, and the process ends.
    static void CloseIdle(SecantorProcess& program) {
        Click(GetDlgItem(program.Dialog(), IDCANCEL));
        DWORD exitCode = 1;
        ASSERT_TRUE(program.WaitForExit(kDefaultWaitMs, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }

    // Starts a job and checks its success box and the idle refresh after it.
    static void RunToSuccess(const SecantorProcess& program, int pieces, bool split) {
        Click(program.Item(kStart));
        MessageBoxView box = ExpectBox(program, L"成功", L"操作成功完成", nullptr, true, {IDOK});
        EXPECT_EQ(Text(program.Item(kStatus)), Finished(pieces));
        EXPECT_EQ(ProgressPos(program.Item(kProgress)), pieces);
        EXPECT_EQ(ProgressHigh(program.Item(kProgress)), pieces);
        ASSERT_TRUE(Answer(box, IDOK));
        ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(kStatus)) == kIdle; }));
        ExpectIdleTexts(program, split);
        EXPECT_EQ(ProgressHigh(program.Item(kProgress)), pieces) << "the range stays";
    }

    TempFolder m_folder;
};

TEST_F(Secantor, FirstStartWithoutSettingsComesUpInSplitModeAndEnterIsIgnored) {
    SecantorProcess program(m_folder.Path());
    std::printf("seconds from start to a visible dialog: %.2f\n", program.SecondsToDialog());

    EXPECT_TRUE(IsChecked(program.Item(kModeSplit)));
    EXPECT_FALSE(IsChecked(program.Item(kModeJoin)));
    ExpectIdleTexts(program, true);
    EXPECT_EQ(ProgressLow(program.Item(kProgress)), 0);
    EXPECT_EQ(ProgressHigh(program.Item(kProgress)), 100);
    EXPECT_FALSE(IsChecked(program.Item(kDeleteSource)));
    EXPECT_FALSE(IsChecked(program.Item(kFixedPath)));
    EXPECT_EQ(Text(program.Item(kSourcePath)), L"");
    EXPECT_EQ(Text(program.Item(kTargetPath)), L"");

    HWND size = program.Item(kPieceSize);
    EXPECT_EQ(Text(size), L"1");
    std::vector<std::wstring> list;
    DWORD_PTR count = 0;
    SendMessageTimeoutW(size, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
    for (DWORD_PTR i = 0; i < count; ++i) {
        wchar_t item[16] = {};
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(size, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item), SMTO_ABORTIFHUNG,
                            5000, &ignored);
        list.push_back(item);
    }
    EXPECT_EQ(list, (std::vector<std::wstring>{L"1", L"30", L"60"}));

    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(program.Dialog(), nullptr), &gui));
    EXPECT_EQ(gui.hwndFocus, program.Item(kSourcePath));

    // Enter in a field reaches the dialog as IDOK. The typed 'x' behind it shows that the
    // key has been handled by the time the dialog is looked at.
    HWND source = program.Item(kSourcePath);
    PressKey(source, VK_RETURN);
    PostMessageW(source, WM_CHAR, L'x', 1);
    ASSERT_TRUE(WaitUntil([&] { return Text(source) == L"x"; }));
    EXPECT_TRUE(IsWindowVisible(program.Dialog()));
    EXPECT_FALSE(HasMessageBox(program.Id()));

    // Esc takes the close path, which asks nothing while no job runs.
    PressKey(source, VK_ESCAPE);
    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(kDefaultWaitMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(Exists(IniPath())) << "nothing is written at start-up or exit";
}

TEST_F(Secantor, StoredOptionsComeUpCheckedAndEachClickStoresTheBox) {
    Store("D", "2");
    Store("PathCheck", "1");
    {
        SecantorProcess program(m_folder.Path());
        EXPECT_TRUE(IsChecked(program.Item(kDeleteSource)));
        EXPECT_TRUE(IsChecked(program.Item(kFixedPath)));
        EXPECT_EQ(Text(program.Item(kTargetPath)), L"") << "no Path stored";

        Click(program.Item(kDeleteSource));
        ASSERT_TRUE(WaitUntil([&] { return Stored("D") == "0"; }));
        EXPECT_FALSE(IsChecked(program.Item(kDeleteSource)));
        Click(program.Item(kDeleteSource));
        ASSERT_TRUE(WaitUntil([&] { return Stored("D") == "1"; }));
        EXPECT_EQ(Stored("Path"), "<missing>") << "the delete box writes only D";
        CloseIdle(program);
    }
    Store("D", "yes");
    Store("PathCheck", "0");
    SecantorProcess program(m_folder.Path());
    EXPECT_FALSE(IsChecked(program.Item(kDeleteSource))) << "a value without digits is off";
    EXPECT_FALSE(IsChecked(program.Item(kFixedPath)));
    // The title bar's close box takes the close path too.
    PostMessageW(program.Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(kDefaultWaitMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(Secantor, StartRefusesEmptyFieldsAndPieceSizesOutsideOneTo4095) {
    const std::string source = m_folder / "a.bin";
    const std::string pieces = m_folder / "out";
    WriteWholeFile(source, Pattern(300000));
    SecantorProcess program(m_folder.Path());
    HWND dialog = program.Dialog();

    Click(program.Item(kStart));
    MessageBoxView box = ExpectBox(program, L"信息", kEmptyField, nullptr, true, {IDOK});
    EXPECT_TRUE(IsWindowEnabled(dialog)) << "an ownerless box leaves the dialog usable";
    ASSERT_TRUE(Answer(box, IDOK));

    SetText(program.Item(kSourcePath), Wide(source));
    Click(program.Item(kStart));
    ASSERT_TRUE(Answer(ExpectBox(program, L"信息", kEmptyField, nullptr, true, {IDOK}), IDOK));

    SetText(program.Item(kTargetPath), Wide(pieces));
    for (const wchar_t* size : {L"", L"0", L"abc", L"-1", L"4097"}) {
        SCOPED_TRACE(Ansi(size));
        SetText(program.Item(kPieceSize), size);
        Click(program.Item(kStart));
        ASSERT_TRUE(Answer(ExpectBox(program, L"信息", kBadSize, nullptr, true, {IDOK}), IDOK));
        EXPECT_FALSE(Exists(pieces)) << "no job was started";
        EXPECT_EQ(Text(program.Item(kStatus)), kIdle);
    }

    // Leading blanks are skipped as atoi skips them: 60 MB pieces, so one piece.
    SetText(program.Item(kPieceSize), L" 60");
    RunToSuccess(program, 1, true);
    EXPECT_EQ(ListNames(pieces), std::vector<std::string>{"1__a.bin"});
    EXPECT_EQ(ReadWholeFile(pieces + "\\1__a.bin"), Pattern(300000));

    // Blanks are a name like any other: the job runs and cannot open the source.
    SetText(program.Item(kSourcePath), L"  ");
    SetText(program.Item(kTargetPath), L" ");
    Click(program.Item(kStart));
    ASSERT_TRUE(Answer(ExpectBox(program, L"失败", L"源文件出错", dialog, false, {IDOK}), IDOK));

    // Abort asks even with no job, and Yes then has nothing to stop.
    Click(program.Item(kAbort));
    ASSERT_TRUE(Answer(
        ExpectBox(program, L"Secantor", L"确实要终止吗？", dialog, true, {IDYES, IDNO}), IDYES));
    Sleep(300);
    EXPECT_FALSE(HasMessageBox(program.Id()));
    EXPECT_EQ(Text(program.Item(kStatus)), kIdle);
    CloseIdle(program);
}

TEST_F(Secantor, SplitAndJoinRoundTripWithChineseNames) {
    const std::string name = Ansi(L"影片.bin");
    const std::string content = Pattern(2 * kMiB + kMiB / 2 + 5, 7);
    MakeFolder(m_folder / Ansi(L"源"));
    const std::string source = m_folder / (Ansi(L"源") + "/" + name);
    WriteWholeFile(source, content);
    const std::string pieces = m_folder / Ansi(L"分块");
    const std::string joined = m_folder / Ansi(L"合并结果");

    SecantorProcess program(m_folder.Path());
    SetText(program.Item(kSourcePath), Wide(source));
    SetText(program.Item(kTargetPath), Wide(pieces));
    SetText(program.Item(kPieceSize), L"1.5");  // fractions are cut: 1 MB pieces
    RunToSuccess(program, 3, true);
    ASSERT_EQ(ListNames(pieces),
              (std::vector<std::string>{"1__" + name, "2__" + name, "3__" + name}));
    EXPECT_EQ(ReadWholeFile(pieces + "\\2__" + name), content.substr(kMiB, kMiB));
    EXPECT_EQ(ReadWholeFile(pieces + "\\3__" + name).size(), kMiB / 2 + 5);

    Click(program.Item(kModeJoin));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(kStart)) == L"合并"; }));
    ExpectIdleTexts(program, false);
    Click(program.Item(kDeleteSource));
    ASSERT_TRUE(WaitUntil([&] { return Stored("D") == "1"; }));

    SetText(program.Item(kPieceSize), L"abc");  // not read in join mode
    SetText(program.Item(kSourcePath), Wide(pieces));
    SetText(program.Item(kTargetPath), Wide(joined));
    RunToSuccess(program, 3, false);
    EXPECT_EQ(ReadWholeFile(joined + "\\" + name), content);
    EXPECT_TRUE(ListNames(pieces).empty()) << "the pieces were deleted after use";
    EXPECT_TRUE(Exists(source)) << "the split ran without the delete option";
    CloseIdle(program);
}

TEST_F(Secantor, FailedJobsShowTheirBoxOwnedByTheDialog) {
    const std::string source = m_folder / "a.bin";
    WriteWholeFile(source, Pattern(1000));
    WriteWholeFile(m_folder / "blocker", "a file where a folder is wanted");
    MakeFolder(m_folder / "plain");
    WriteWholeFile(m_folder / "plain/a.bin", "no piece names here");

    SecantorProcess program(m_folder.Path());
    HWND dialog = program.Dialog();
    SetText(program.Item(kSourcePath), Wide(source));
    SetText(program.Item(kTargetPath), Wide(m_folder / "blocker/sub"));
    Click(program.Item(kStart));
    ASSERT_TRUE(Answer(ExpectBox(program, L"失败", L"目标文件出错", dialog, false, {IDOK}), IDOK));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(kStatus)) == kIdle; }));

    Click(program.Item(kModeJoin));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(kStart)) == L"合并"; }));
    SetText(program.Item(kSourcePath), Wide(m_folder / "plain"));
    SetText(program.Item(kTargetPath), Wide(m_folder / "joined"));
    Click(program.Item(kStart));
    ASSERT_TRUE(Answer(ExpectBox(program, L"失败", L"源文件出错", dialog, false, {IDOK}), IDOK));
    CloseIdle(program);
}

// A job long enough to be watched: 64 GiB of zeros in 1 MB pieces, 65,537 of them, which
// also takes the bar beyond 16 bits. The file is sparse, and the tests stop the job early.
class SecantorLongJob : public Secantor {
protected:
    void SetUp() override {
        m_source = m_folder / "big.bin";
        m_pieces = m_folder / "pieces";
        // Under Wine, setting the end of a file leaves a hole on the Linux side.
        HANDLE file = CreateFileA(m_source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LARGE_INTEGER length;
        length.QuadPart = 64ll << 30;
        EXPECT_TRUE(SetFilePointerEx(file, length, nullptr, FILE_BEGIN));
        EXPECT_TRUE(SetEndOfFile(file));
        CloseHandle(file);
    }

    void StartLongSplit(const SecantorProcess& program) const {
        SetText(program.Item(kSourcePath), Wide(m_source));
        SetText(program.Item(kTargetPath), Wide(m_pieces));
        Click(program.Item(kStart));
        ASSERT_TRUE(WaitUntil([&] { return ProgressPos(program.Item(kProgress)) >= 2; }));
        EXPECT_EQ(ProgressHigh(program.Item(kProgress)), 65537) << "more than 16 bits";
    }

    std::string m_source;
    std::string m_pieces;
};

TEST_F(SecantorLongJob, AbortHoldsTheJobWhileAskingAndStopsItOnYes) {
    SecantorProcess program(m_folder.Path());
    HWND dialog = program.Dialog();
    StartLongSplit(program);

    // Switching the mode during a job changes only the radio buttons for now.
    Click(program.Item(kModeJoin));
    ASSERT_TRUE(WaitUntil([&] { return IsChecked(program.Item(kModeJoin)); }));
    EXPECT_FALSE(IsChecked(program.Item(kModeSplit)));
    EXPECT_EQ(Text(program.Item(kStart)), L"分割");
    EXPECT_EQ(Text(program.Item(kSourceLabel)), kSplitSource);
    EXPECT_TRUE(IsWindowEnabled(program.Item(kPieceSize)));

    // A start during a job is refused by the controller without a word.
    Click(program.Item(kStart));
    Sleep(300);
    EXPECT_FALSE(HasMessageBox(program.Id()));
    EXPECT_EQ(ProgressHigh(program.Item(kProgress)), 65537);

    Click(program.Item(kAbort));
    MessageBoxView question =
        ExpectBox(program, L"Secantor", L"确实要终止吗？", dialog, true, {IDYES, IDNO});
    // Counted on disk: the bar may still be catching up with notifications posted earlier.
    auto written = [&] { return ListNames(m_pieces).size(); };
    const std::size_t held = written();
    Sleep(700);
    EXPECT_LE(written(), held + 1) << "at most the piece in hand is finished";
    const std::size_t beforeNo = written();
    ASSERT_TRUE(Answer(question, IDNO));
    EXPECT_TRUE(WaitUntil([&] { return written() >= beforeNo + 2; })) << "goes on";
    EXPECT_EQ(Text(program.Item(kStatus)).substr(0, 3), L" 完成");

    Click(program.Item(kAbort));
    question = ExpectBox(program, L"Secantor", L"确实要终止吗？", dialog, true, {IDYES, IDNO});
    ASSERT_TRUE(Answer(question, IDYES));
    MessageBoxView result = ExpectBox(program, L"失败", L"用户终止", dialog, false, {IDOK});
    const std::size_t stopped = written();
    EXPECT_GE(stopped, 2u);
    EXPECT_LT(stopped, 65537u);
    EXPECT_EQ(Text(program.Item(kStart)), L"分割") << "texts follow only after the box";
    ASSERT_TRUE(Answer(result, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(kStart)) == L"合并"; }));
    ExpectIdleTexts(program, false);
    EXPECT_EQ(written(), stopped) << "an aborted split removes nothing";
    CloseIdle(program);
}

TEST_F(SecantorLongJob, CloseDuringAJobAsksAndYesEndsTheProcessWithoutAResultBox) {
    SecantorProcess program(m_folder.Path());
    HWND bar = program.Item(kProgress);
    StartLongSplit(program);

    // The About dialog can come and go while the bar keeps moving.
    Click(program.Item(kAbout));
    HWND about = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (about = FindDialog(program.Id(), L"关于Secanto")); }));
    const int opened = ProgressPos(bar);
    EXPECT_TRUE(WaitUntil([&] { return ProgressPos(bar) >= opened + 2; }));
    Click(GetDlgItem(about, kAboutOk));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(program.Dialog()) != 0; }));

    Click(GetDlgItem(program.Dialog(), IDCANCEL));
    const std::wstring question = L"工作还未完成，确实要退出吗？";
    MessageBoxView box = ExpectBox(program, L"Secanto", question, nullptr, true, {IDYES, IDNO});
    const int asked = ProgressPos(bar);
    EXPECT_TRUE(WaitUntil([&] { return ProgressPos(bar) >= asked + 2; }))
        << "the job is not held during this question";
    ASSERT_TRUE(Answer(box, IDNO));
    const int answered = ProgressPos(bar);
    EXPECT_TRUE(WaitUntil([&] { return ProgressPos(bar) >= answered + 2; }));
    EXPECT_TRUE(IsWindowVisible(program.Dialog()));

    Click(GetDlgItem(program.Dialog(), IDCANCEL));
    box = ExpectBox(program, L"Secanto", question, nullptr, true, {IDYES, IDNO});
    ASSERT_TRUE(Answer(box, IDYES));
    bool resultBox = false;
    DWORD exitCode = 1;
    const bool ended = WaitUntil([&] {
        resultBox = resultBox || HasMessageBox(program.Id());
        return program.WaitForExit(0, &exitCode);
    });
    ASSERT_TRUE(ended);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(resultBox);
    const std::size_t written = ListNames(m_pieces).size();
    Sleep(300);
    EXPECT_EQ(ListNames(m_pieces).size(), written) << "the worker stopped with the program";
}

TEST_F(Secantor, NotificationsDriveTheBarWithThirtyTwoBitCounts) {
    SecantorProcess program(m_folder.Path());
    HWND dialog = program.Dialog();
    HWND bar = program.Item(kProgress);

    PostMessageW(dialog, kWmJobRange, 70000, 1);
    ASSERT_TRUE(WaitUntil([&] { return ProgressHigh(bar) == 70000; }));
    EXPECT_EQ(ProgressLow(bar), 0);

    PostMessageW(dialog, kWmJobProgress, 0, 3);
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(kStatus)) == Finished(3); }));
    EXPECT_EQ(ProgressPos(bar), 3);
    PostMessageW(dialog, kWmJobProgress, 0, 66000);
    ASSERT_TRUE(WaitUntil([&] { return ProgressPos(bar) == 66000; }));
    EXPECT_EQ(Text(program.Item(kStatus)), Finished(66000));

    // An unknown result shows no box but still refreshes.
    PostMessageW(dialog, kWmJobDone, 4, 0);
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(kStatus)) == kIdle; }));
    EXPECT_EQ(ProgressPos(bar), 0);
    EXPECT_EQ(ProgressHigh(bar), 70000);
    Sleep(300);
    EXPECT_FALSE(HasMessageBox(program.Id()));
    CloseIdle(program);
}

TEST_F(Secantor, FixedPathRoundTripsThroughTheSettingsFile) {
    const std::wstring typed = Wide(m_folder / "typed");
    const std::wstring kept = Wide(m_folder / Ansi(L"输出目录"));
    {
        SecantorProcess program(m_folder.Path());
        HWND target = program.Item(kTargetPath);
        HWND fixed = program.Item(kFixedPath);

        // Checking with nothing stored empties the field and stores that.
        SetText(target, typed);
        Click(fixed);
        ASSERT_TRUE(WaitUntil([&] { return Stored("PathCheck") == "1"; }));
        EXPECT_EQ(Stored("Path"), "");
        EXPECT_EQ(Text(target), L"");

        // While checked, a mode click puts the stored path back.
        SetText(target, typed);
        Click(program.Item(kModeJoin));
        ASSERT_TRUE(WaitUntil([&] { return Text(target).empty(); }));

        // Unchecking stores what the field holds.
        SetText(target, kept);
        Click(fixed);
        ASSERT_TRUE(WaitUntil([&] { return Stored("PathCheck") == "0"; }));
        EXPECT_EQ(Stored("Path"), Ansi(kept));
        EXPECT_NE(ReadWholeFile(IniPath()).find("Path=" + Ansi(kept)), std::string::npos)
            << "stored in the ANSI code page";
        EXPECT_EQ(Text(target), kept);

        // Checking again brings it back over whatever was typed.
        SetText(target, typed);
        Click(fixed);
        ASSERT_TRUE(WaitUntil([&] { return Stored("PathCheck") == "1"; }));
        EXPECT_EQ(Text(target), kept);
        EXPECT_EQ(Stored("Path"), Ansi(kept));

        // So does a click on the delete-source box.
        SetText(target, typed);
        Click(program.Item(kDeleteSource));
        ASSERT_TRUE(WaitUntil([&] { return Text(target) == kept; }));
        CloseIdle(program);
    }
    SecantorProcess program(m_folder.Path());
    EXPECT_TRUE(IsChecked(program.Item(kFixedPath)));
    EXPECT_EQ(Text(program.Item(kTargetPath)), kept);
    CloseIdle(program);
}

TEST_F(Secantor, AboutShowsItsTextAgainAfterItWasEdited) {
    const std::wstring aboutText =
        L"简介:\r\n"
        L"本工具能够对比较大的文件进行分割存放，利于\r\n"
        L"文件进行存储，而且对于某些文件来说，分割存储\r\n"
        L"是必须的手段。\r\n"
        L"版本:1.0";
    SecantorProcess program(m_folder.Path());
    HWND dialog = program.Dialog();

    for (int opening = 0; opening < 2; ++opening) {
        SCOPED_TRACE(opening);
        Click(program.Item(kAbout));
        HWND about = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (about = FindDialog(program.Id(), L"关于Secanto")); }));
        EXPECT_EQ(GetWindow(about, GW_OWNER), dialog);
        EXPECT_FALSE(IsWindowEnabled(dialog)) << "modal to the main dialog";
        HWND text = GetDlgItem(about, kAboutText);
        EXPECT_EQ(Text(text), aboutText);

        SetText(text, L"edited by the user");
        if (opening == 0) {
            Click(GetDlgItem(about, kAboutOk));
        } else {
            PostMessageW(about, WM_CLOSE, 0, 0);  // the close box
        }
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about) || !IsWindowVisible(about); }));
        ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(dialog) != 0; }));
    }
    CloseIdle(program);
}

TEST_F(Secantor, ClosingWhileAResultBoxIsOpenEndsCleanly) {
    WriteWholeFile(m_folder / "a.bin", Pattern(5000));
    SecantorProcess program(m_folder.Path());
    HWND dialog = program.Dialog();
    SetText(program.Item(kSourcePath), Wide(m_folder / "a.bin"));
    SetText(program.Item(kTargetPath), Wide(m_folder / "out"));
    Click(program.Item(kStart));
    MessageBoxView box = ExpectBox(program, L"成功", L"操作成功完成", nullptr, true, {IDOK});

    // The ownerless box leaves the close button usable; no job is busy, so no question.
    Click(GetDlgItem(dialog, IDCANCEL));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(dialog); }));
    // The controller is gone: a late notification must be ignored, not acted on.
    PostMessageW(dialog, kWmJobProgress, 0, 9);
    PostMessageW(dialog, kWmJobDone, 0, 9);
    Sleep(300);
    EXPECT_EQ(Text(program.Item(kStatus)), Finished(1));
    ASSERT_TRUE(Answer(box, IDOK));
    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(kDefaultWaitMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
