// Secantor.exe driven from outside, as a person uses it: each test starts the real program
// in a fresh working folder, types into its fields, clicks its buttons, answers its boxes
// and checks the screen, the files on disk and ".\Set.ini".
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "engine/job_notifications.h"
#include "platform/sha256.h"
#include "tests/support/test_files.h"
#include "tests/ui/secantor_driver.h"
#include "ui/dialog_texts.h"

namespace {

std::wstring Finished(int pieces) {
    wchar_t status[64];
    std::swprintf(status, sizeof status / sizeof status[0], kFinishedStatus, pieces);
    return status;
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
        EXPECT_EQ(Text(program.Item(IDC_START)), split ? kSplitStart : kJoinStart);
        EXPECT_EQ(Text(program.Item(IDC_SOURCE_LABEL)),
                  split ? kSplitSourceLabel : kJoinSourceLabel);
        EXPECT_EQ(Text(program.Item(IDC_TARGET_LABEL)),
                  split ? kSplitTargetLabel : kJoinTargetLabel);
        EXPECT_EQ(IsWindowEnabled(program.Item(IDC_PIECE_SIZE)) != 0, split);
        EXPECT_EQ(Text(program.Item(IDC_STATUS)), kIdleStatus);
        EXPECT_EQ(ProgressPos(program.Item(IDC_PROGRESS)), 0);
    }

    // Clicks 终止 and answers 是 to the question when it comes (the job may have ended
    // first): `box` is then the job's result box. False when a box did not come.
    static bool AbortConfirmed(const SecantorProcess& program, MessageBoxView* box) {
        Click(program.Item(IDC_ABORT));
        if (!WaitForMessageBox(program.Id(), box)) {
            return false;
        }
        return box->text != kAbortQuestion ||
               (Answer(*box, IDYES) && WaitForMessageBox(program.Id(), box));
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
        Click(program.Item(IDC_START));
        MessageBoxView box =
            ExpectBox(program, kSuccessCaption, kSuccessText, nullptr, true, {IDOK});
        EXPECT_EQ(Text(program.Item(IDC_STATUS)), Finished(pieces));
        EXPECT_EQ(ProgressPos(program.Item(IDC_PROGRESS)), pieces);
        EXPECT_EQ(ProgressHigh(program.Item(IDC_PROGRESS)), pieces);
        ASSERT_TRUE(Answer(box, IDOK));
        ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_STATUS)) == kIdleStatus; }));
        ExpectIdleTexts(program, split);
        EXPECT_EQ(ProgressHigh(program.Item(IDC_PROGRESS)), pieces) << "the range stays";
    }

    // A file of `length` zeros that takes no room: under Wine, setting the end of a file
    // leaves a hole on the Linux side.
    static void MakeSparse(const std::string& path, long long length) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LARGE_INTEGER end;
        end.QuadPart = length;
        EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
        EXPECT_TRUE(SetEndOfFile(file));
        CloseHandle(file);
    }

    TempFolder m_folder;
};

TEST_F(Secantor, FirstStartWithoutSettingsComesUpInSplitModeAndEnterIsIgnored) {
    SecantorProcess program(m_folder.Path());
    std::printf("seconds from start to a visible dialog: %.2f\n", program.SecondsToDialog());

    EXPECT_TRUE(IsChecked(program.Item(IDC_MODE_SPLIT)));
    EXPECT_FALSE(IsChecked(program.Item(IDC_MODE_JOIN)));
    ExpectIdleTexts(program, true);
    EXPECT_EQ(ProgressLow(program.Item(IDC_PROGRESS)), 0);
    EXPECT_EQ(ProgressHigh(program.Item(IDC_PROGRESS)), 100);
    EXPECT_FALSE(IsChecked(program.Item(IDC_DELETE_SOURCE)));
    EXPECT_FALSE(IsChecked(program.Item(IDC_FIXED_PATH)));
    EXPECT_EQ(Text(program.Item(IDC_SOURCE_PATH)), L"");
    EXPECT_EQ(Text(program.Item(IDC_TARGET_PATH)), L"");

    HWND size = program.Item(IDC_PIECE_SIZE);
    EXPECT_EQ(Text(size), kPieceSizeChoices[0]);
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
    EXPECT_EQ(list, std::vector<std::wstring>(std::begin(kPieceSizeChoices),
                                              std::end(kPieceSizeChoices)));

    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(program.Dialog(), nullptr), &gui));
    EXPECT_EQ(gui.hwndFocus, program.Item(IDC_SOURCE_PATH));

    // Enter in a field reaches the dialog as IDOK.
    HWND source = program.Item(IDC_SOURCE_PATH);
    PressKey(source, VK_RETURN);
    ASSERT_TRUE(WaitForInputHandled(source));
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
        EXPECT_TRUE(IsChecked(program.Item(IDC_DELETE_SOURCE)));
        EXPECT_TRUE(IsChecked(program.Item(IDC_FIXED_PATH)));
        EXPECT_EQ(Text(program.Item(IDC_TARGET_PATH)), L"") << "no Path stored";

        Click(program.Item(IDC_DELETE_SOURCE));
        ASSERT_TRUE(WaitUntil([&] { return Stored("D") == "0"; }));
        EXPECT_FALSE(IsChecked(program.Item(IDC_DELETE_SOURCE)));
        Click(program.Item(IDC_DELETE_SOURCE));
        ASSERT_TRUE(WaitUntil([&] { return Stored("D") == "1"; }));
        EXPECT_EQ(Stored("Path"), "<missing>") << "the delete box writes only D";
        CloseIdle(program);
    }
    Store("D", "yes");
    Store("PathCheck", "0");
    SecantorProcess program(m_folder.Path());
    EXPECT_FALSE(IsChecked(program.Item(IDC_DELETE_SOURCE))) << "a value without digits is off";
    EXPECT_FALSE(IsChecked(program.Item(IDC_FIXED_PATH)));
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

    Click(program.Item(IDC_START));
    MessageBoxView box = ExpectBox(program, kInfoCaption, kEmptyFieldText, nullptr, true, {IDOK});
    EXPECT_TRUE(IsWindowEnabled(dialog)) << "an ownerless box leaves the dialog usable";
    ASSERT_TRUE(Answer(box, IDOK));

    SetText(program.Item(IDC_SOURCE_PATH), Wide(source));
    Click(program.Item(IDC_START));
    ASSERT_TRUE(
        Answer(ExpectBox(program, kInfoCaption, kEmptyFieldText, nullptr, true, {IDOK}), IDOK));

    SetText(program.Item(IDC_TARGET_PATH), Wide(pieces));
    for (const wchar_t* size : {L"", L"0", L"abc", L"-1", L"4097"}) {
        SCOPED_TRACE(Ansi(size));
        SetText(program.Item(IDC_PIECE_SIZE), size);
        Click(program.Item(IDC_START));
        ASSERT_TRUE(Answer(
            ExpectBox(program, kInfoCaption, kBadPieceSizeText, nullptr, true, {IDOK}), IDOK));
        EXPECT_FALSE(Exists(pieces)) << "no job was started";
        EXPECT_EQ(Text(program.Item(IDC_STATUS)), kIdleStatus);
    }

    // Leading blanks are skipped as atoi skips them: 60 MB pieces, so one piece.
    SetText(program.Item(IDC_PIECE_SIZE), L" 60");
    RunToSuccess(program, 1, true);
    EXPECT_EQ(ListNames(pieces), std::vector<std::string>{"1__a.bin"});
    EXPECT_EQ(ReadWholeFile(pieces + "\\1__a.bin"), Pattern(300000));

    // Four digits typed key by key fit in the field, and full-width digits are digits: 64 GiB
    // make 17 pieces of 4095 MB and 6,554 of 10 MB. A folder where the first piece goes fails
    // each split right after it has counted its pieces, so nothing is written.
    MakeSparse(m_folder / "big.bin", 64ll << 30);
    MakeFolder(m_folder / "blocked");
    MakeFolder(m_folder / "blocked/1__big.bin");
    SetText(program.Item(IDC_SOURCE_PATH), Wide(m_folder / "big.bin"));
    SetText(program.Item(IDC_TARGET_PATH), Wide(m_folder / "blocked"));
    HWND sizeEdit = FindWindowExW(program.Item(IDC_PIECE_SIZE), nullptr, L"Edit", nullptr);
    ASSERT_NE(sizeEdit, nullptr);
    const struct {
        const wchar_t* typed;
        int pieces;
    } typedSizes[] = {{L"4095", 17}, {L"\xFF11\xFF10", 6554}};
    for (const auto& size : typedSizes) {
        SCOPED_TRACE(size.pieces);
        PostMessageW(sizeEdit, EM_SETSEL, 0, -1);
        for (const wchar_t* key = size.typed; *key != L'\0'; ++key) {
            PostMessageW(sizeEdit, WM_CHAR, *key, 1);
        }
        ASSERT_TRUE(WaitForInputHandled(program.Item(IDC_SOURCE_PATH)));
        EXPECT_EQ(Text(program.Item(IDC_PIECE_SIZE)), size.typed);
        Click(program.Item(IDC_START));
        ASSERT_TRUE(Answer(
            ExpectBox(program, kFailureCaption, kTargetErrorText, dialog, false, {IDOK}), IDOK));
        EXPECT_EQ(ProgressHigh(program.Item(IDC_PROGRESS)), size.pieces);
    }

    // Blanks are a name like any other: the job runs and cannot open the source.
    SetText(program.Item(IDC_SOURCE_PATH), L"  ");
    SetText(program.Item(IDC_TARGET_PATH), L" ");
    Click(program.Item(IDC_START));
    ASSERT_TRUE(
        Answer(ExpectBox(program, kFailureCaption, kSourceErrorText, dialog, false, {IDOK}), IDOK));

    // Abort asks even with no job, and Yes then has nothing to stop.
    Click(program.Item(IDC_ABORT));
    ASSERT_TRUE(Answer(ExpectBox(program, L"Secantor", kAbortQuestion, dialog, true, {IDYES, IDNO}),
                       IDYES));
    ASSERT_TRUE(WaitForInputHandled(program.Item(IDC_SOURCE_PATH)));
    EXPECT_FALSE(HasMessageBox(program.Id()));
    EXPECT_EQ(Text(program.Item(IDC_STATUS)), kIdleStatus);
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
    SetText(program.Item(IDC_SOURCE_PATH), Wide(source));
    SetText(program.Item(IDC_TARGET_PATH), Wide(pieces));
    SetText(program.Item(IDC_PIECE_SIZE), L"1.5");  // fractions are cut: 1 MB pieces
    RunToSuccess(program, 3, true);
    ASSERT_EQ(ListNames(pieces),
              (std::vector<std::string>{"1__" + name, "2__" + name, "3__" + name}));
    EXPECT_EQ(ReadWholeFile(pieces + "\\2__" + name), content.substr(kMiB, kMiB));
    EXPECT_EQ(ReadWholeFile(pieces + "\\3__" + name).size(), kMiB / 2 + 5);

    Click(program.Item(IDC_MODE_JOIN));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_START)) == kJoinStart; }));
    ExpectIdleTexts(program, false);
    Click(program.Item(IDC_DELETE_SOURCE));
    ASSERT_TRUE(WaitUntil([&] { return Stored("D") == "1"; }));

    SetText(program.Item(IDC_PIECE_SIZE), L"abc");  // not read in join mode
    SetText(program.Item(IDC_SOURCE_PATH), Wide(pieces));
    SetText(program.Item(IDC_TARGET_PATH), Wide(joined));
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
    SetText(program.Item(IDC_SOURCE_PATH), Wide(source));
    SetText(program.Item(IDC_TARGET_PATH), Wide(m_folder / "blocker/sub"));
    Click(program.Item(IDC_START));
    ASSERT_TRUE(
        Answer(ExpectBox(program, kFailureCaption, kTargetErrorText, dialog, false, {IDOK}), IDOK));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_STATUS)) == kIdleStatus; }));

    Click(program.Item(IDC_MODE_JOIN));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_START)) == kJoinStart; }));
    SetText(program.Item(IDC_SOURCE_PATH), Wide(m_folder / "plain"));
    SetText(program.Item(IDC_TARGET_PATH), Wide(m_folder / "joined"));
    Click(program.Item(IDC_START));
    ASSERT_TRUE(
        Answer(ExpectBox(program, kFailureCaption, kSourceErrorText, dialog, false, {IDOK}), IDOK));
    CloseIdle(program);
}

// A job long enough to be watched: 64 GiB of zeros in 1 MB pieces, 65,537 of them, which
// also takes the bar beyond 16 bits. The file is sparse, and the tests stop the job early.
class SecantorLongJob : public Secantor {
protected:
    void SetUp() override {
        m_source = m_folder / "big.bin";
        m_pieces = m_folder / "pieces";
        MakeSparse(m_source, 64ll << 30);
    }

    void StartLongSplit(const SecantorProcess& program) const {
        SetText(program.Item(IDC_SOURCE_PATH), Wide(m_source));
        SetText(program.Item(IDC_TARGET_PATH), Wide(m_pieces));
        Click(program.Item(IDC_START));
        ASSERT_TRUE(WaitUntil([&] { return ProgressPos(program.Item(IDC_PROGRESS)) >= 2; }));
        EXPECT_EQ(ProgressHigh(program.Item(IDC_PROGRESS)), 65537) << "more than 16 bits";
    }

    std::string m_source;
    std::string m_pieces;
};

TEST_F(SecantorLongJob, AbortHoldsTheJobWhileAskingAndStopsItOnYes) {
    SecantorProcess program(m_folder.Path());
    HWND dialog = program.Dialog();
    StartLongSplit(program);

    // Switching the mode during a job changes only the radio buttons for now.
    Click(program.Item(IDC_MODE_JOIN));
    ASSERT_TRUE(WaitUntil([&] { return IsChecked(program.Item(IDC_MODE_JOIN)); }));
    EXPECT_FALSE(IsChecked(program.Item(IDC_MODE_SPLIT)));
    EXPECT_EQ(Text(program.Item(IDC_START)), kSplitStart);
    EXPECT_EQ(Text(program.Item(IDC_SOURCE_LABEL)), kSplitSourceLabel);
    EXPECT_TRUE(IsWindowEnabled(program.Item(IDC_PIECE_SIZE)));

    // So is a drop: it would switch back to split and propose another target. The window
    // takes no files meanwhile, so that Explorer shows a drop refused.
    EXPECT_EQ(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    ASSERT_TRUE(Drop(program, {Wide(m_source)}, MiddleOf(program, IDC_SOURCE_PATH)));
    EXPECT_TRUE(IsChecked(program.Item(IDC_MODE_JOIN)));
    EXPECT_EQ(Text(program.Item(IDC_SOURCE_PATH)), Wide(m_source));
    EXPECT_EQ(Text(program.Item(IDC_TARGET_PATH)), Wide(m_pieces));

    // A start during a job is refused by the controller without a word.
    Click(program.Item(IDC_START));
    ASSERT_TRUE(WaitForInputHandled(program.Item(IDC_SOURCE_PATH)));
    EXPECT_FALSE(HasMessageBox(program.Id()));
    EXPECT_EQ(ProgressHigh(program.Item(IDC_PROGRESS)), 65537);

    Click(program.Item(IDC_ABORT));
    MessageBoxView question =
        ExpectBox(program, L"Secantor", kAbortQuestion, dialog, true, {IDYES, IDNO});
    // Counted on disk: the bar may still be catching up with notifications posted earlier.
    auto written = [&] { return ListNames(m_pieces).size(); };
    const std::size_t held = written();
    Sleep(700);
    EXPECT_LE(written(), held + 1) << "at most the piece in hand is finished";
    const std::size_t beforeNo = written();
    ASSERT_TRUE(Answer(question, IDNO));
    EXPECT_TRUE(WaitUntil([&] { return written() >= beforeNo + 2; })) << "goes on";
    int shown = -1;
    EXPECT_EQ(std::swscanf(Text(program.Item(IDC_STATUS)).c_str(), kFinishedStatus, &shown), 1);

    Click(program.Item(IDC_ABORT));
    question = ExpectBox(program, L"Secantor", kAbortQuestion, dialog, true, {IDYES, IDNO});
    ASSERT_TRUE(Answer(question, IDYES));
    MessageBoxView result =
        ExpectBox(program, kFailureCaption, kAbortedText, dialog, false, {IDOK});
    const std::size_t stopped = written();
    EXPECT_GE(stopped, 2u);
    EXPECT_LT(stopped, 65537u);
    EXPECT_EQ(Text(program.Item(IDC_START)), kSplitStart) << "texts follow only after the box";
    ASSERT_TRUE(Answer(result, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_START)) == kJoinStart; }));
    ExpectIdleTexts(program, false);
    EXPECT_EQ(written(), stopped) << "an aborted split removes nothing";
    EXPECT_TRUE(WaitUntil([&] {
        return (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0;
    })) << "idle again";
    CloseIdle(program);
}

TEST_F(SecantorLongJob, CloseDuringAJobAsksAndYesEndsTheProcessWithoutAResultBox) {
    SecantorProcess program(m_folder.Path());
    HWND bar = program.Item(IDC_PROGRESS);
    StartLongSplit(program);

    // The About dialog can come and go while the bar keeps moving.
    Click(program.Item(IDC_ABOUT));
    HWND about = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (about = FindDialog(program.Id(), L"关于Secanto")); }));
    const int opened = ProgressPos(bar);
    EXPECT_TRUE(WaitUntil([&] { return ProgressPos(bar) >= opened + 2; }));
    Click(GetDlgItem(about, IDC_ABOUT_OK));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(program.Dialog()) != 0; }));

    Click(GetDlgItem(program.Dialog(), IDCANCEL));
    MessageBoxView box =
        ExpectBox(program, kQuitCaption, kQuitQuestion, nullptr, true, {IDYES, IDNO});
    const int asked = ProgressPos(bar);
    EXPECT_TRUE(WaitUntil([&] { return ProgressPos(bar) >= asked + 2; }))
        << "the job is not held during this question";
    ASSERT_TRUE(Answer(box, IDNO));
    const int answered = ProgressPos(bar);
    EXPECT_TRUE(WaitUntil([&] { return ProgressPos(bar) >= answered + 2; }));
    EXPECT_TRUE(IsWindowVisible(program.Dialog()));

    Click(GetDlgItem(program.Dialog(), IDCANCEL));
    box = ExpectBox(program, kQuitCaption, kQuitQuestion, nullptr, true, {IDYES, IDNO});
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
}

// Sparse pieces of 1 MiB with their number at their start: quick to make, told apart in
// the joined file, long enough together for a user to act during the job.
class SecantorDeleting : public Secantor {
protected:
    static std::string Marker(int number) { return "piece " + std::to_string(number) + ";"; }

    void MakeMarkedPieces(const std::string& folder, int count) const {
        MakeFolder(folder);
        for (int k = 1; k <= count; ++k) {
            const std::string path = folder + "\\" + std::to_string(k) + "__a.bin";
            MakeSparse(path, kMiB);
            HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            DWORD written = 0;
            const std::string marker = Marker(k);
            EXPECT_TRUE(WriteFile(file, marker.data(), static_cast<DWORD>(marker.size()), &written,
                                  nullptr));
            CloseHandle(file);
        }
    }

    // Every piece is either still there or in the joined file at its place.
    static void ExpectNothingLost(const std::string& pieces, const std::string& joined, int count) {
        const std::string output = Exists(joined) ? ReadWholeFile(joined) : std::string();
        for (int k = 1; k <= count; ++k) {
            if (Exists(pieces + "\\" + std::to_string(k) + "__a.bin")) {
                continue;
            }
            const std::size_t at = static_cast<std::size_t>(k - 1) * kMiB;
            ASSERT_GE(output.size(), at + kMiB) << "piece " << k << " is gone";
            EXPECT_EQ(output.compare(at, Marker(k).size(), Marker(k)), 0) << "piece " << k;
        }
    }
};

TEST_F(SecantorDeleting, TickedDuringAJoinThenAbortedLosesNoPiece) {
    constexpr int kCount = 256;
    const std::string pieces = m_folder / "pieces";
    const std::string joined = m_folder / "joined";
    MakeMarkedPieces(pieces, kCount);

    SecantorProcess program(m_folder.Path());
    Click(program.Item(IDC_MODE_JOIN));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_START)) == kJoinStart; }));
    SetText(program.Item(IDC_SOURCE_PATH), Wide(pieces));
    SetText(program.Item(IDC_TARGET_PATH), Wide(joined));
    Click(program.Item(IDC_START));
    // The first pieces are joined without the option, the later ones with it.
    ASSERT_TRUE(WaitUntil([&] { return ProgressPos(program.Item(IDC_PROGRESS)) >= 4; }));
    Click(program.Item(IDC_DELETE_SOURCE));
    WaitUntil([&] { return ListNames(pieces).size() < kCount || HasMessageBox(program.Id()); });
    MessageBoxView box;
    ASSERT_TRUE(AbortConfirmed(program, &box));
    // Stopped in time the job is aborted; otherwise it had joined every piece.
    EXPECT_TRUE(box.text == kAbortedText || box.text == kSuccessText) << Ansi(box.text);
    ASSERT_TRUE(Answer(box, IDOK));
    ExpectNothingLost(pieces, joined + "\\a.bin", kCount);
    EXPECT_TRUE(Exists(pieces + "\\1__a.bin")) << "joined before the box was ticked";
    CloseIdle(program);
}

TEST_F(SecantorDeleting, AJoinAbortedAfterDeletionsGoesOnWhenAsked) {
    constexpr int kCount = 256;
    const std::string pieces = m_folder / "pieces";
    const std::string joined = m_folder / "joined";
    const std::string output = joined + "\\a.bin";
    MakeMarkedPieces(pieces, kCount);

    SecantorProcess program(m_folder.Path());
    HWND dialog = program.Dialog();
    Click(program.Item(IDC_MODE_JOIN));
    Click(program.Item(IDC_DELETE_SOURCE));
    ASSERT_TRUE(WaitUntil([&] { return Stored("D") == "1"; }));
    SetText(program.Item(IDC_SOURCE_PATH), Wide(pieces));
    SetText(program.Item(IDC_TARGET_PATH), Wide(joined));
    Click(program.Item(IDC_START));
    WaitUntil([&] { return ListNames(pieces).size() < kCount || HasMessageBox(program.Id()); });
    MessageBoxView box;
    ASSERT_TRUE(AbortConfirmed(program, &box));
    const bool stopped = box.text == kAbortedText;
    ASSERT_TRUE(Answer(box, IDOK));
    const std::vector<std::string> left = ListNames(pieces);
    if (!stopped || left.size() == kCount) {
        CloseIdle(program);
        GTEST_SKIP() << "the join ended, or stopped before it deleted a piece";
    }
    ExpectNothingLost(pieces, output, kCount);
    int kept = kCount;
    for (const std::string& name : left) {
        kept = std::min(kept, std::stoi(name) - 1);
    }
    wchar_t question[128];
    std::swprintf(question, sizeof question / sizeof question[0], kContinueQuestion, kept);
    const std::string partial = ReadWholeFile(output);

    // No: the join refuses as it always has, and changes nothing.
    Click(program.Item(IDC_START));
    ASSERT_TRUE(
        Answer(ExpectBox(program, kQuitCaption, question, dialog, true, {IDYES, IDNO}), IDNO));
    ASSERT_TRUE(
        Answer(ExpectBox(program, kFailureCaption, kSourceErrorText, dialog, false, {IDOK}), IDOK));
    EXPECT_EQ(ListNames(pieces), left);
    EXPECT_TRUE(ReadWholeFile(output) == partial);

    // Yes: it goes on from the pieces the file holds, deleting the rest as it goes.
    Click(program.Item(IDC_START));
    ASSERT_TRUE(
        Answer(ExpectBox(program, kQuitCaption, question, dialog, true, {IDYES, IDNO}), IDYES));
    ASSERT_TRUE(
        Answer(ExpectBox(program, kSuccessCaption, kSuccessText, nullptr, true, {IDOK}), IDOK));
    EXPECT_TRUE(ListNames(pieces).empty());
    ExpectNothingLost(pieces, output, kCount);
    EXPECT_EQ(ReadWholeFile(output).size(), kCount * kMiB);
    CloseIdle(program);
}

// While the dialog asks whether to go on from a stopped join, the window takes no files, and
// a drop that comes anyway changes nothing: 是 goes on with the join it asked about.
TEST_F(SecantorDeleting, ADropWhileItAsksWhetherToGoOnChangesNothing) {
    constexpr int kCount = 8;
    constexpr int kKept = 3;
    const std::string pieces = m_folder / "pieces";
    const std::string joined = m_folder / "joined";
    const std::string output = joined + "\\a.bin";
    const std::string other = m_folder / "other";
    MakeMarkedPieces(pieces, kCount);
    MakeFolder(joined);
    MakeFolder(other);
    // What a join with delete-after-use leaves when it stops after three pieces.
    std::string held;
    for (int k = 1; k <= kKept; ++k) {
        const std::string piece = pieces + "\\" + std::to_string(k) + "__a.bin";
        held += ReadWholeFile(piece);
        ASSERT_TRUE(DeleteFileA(piece.c_str()));
    }
    WriteWholeFile(output, held);
    wchar_t question[128];
    std::swprintf(question, sizeof question / sizeof question[0], kContinueQuestion, kKept);

    SecantorProcess program(m_folder.Path());
    HWND dialog = program.Dialog();
    HWND source = program.Item(IDC_SOURCE_PATH);
    HWND target = program.Item(IDC_TARGET_PATH);
    Click(program.Item(IDC_MODE_JOIN));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_START)) == kJoinStart; }));
    SetText(source, Wide(pieces));
    SetText(target, Wide(joined));
    Click(program.Item(IDC_START));
    const MessageBoxView asked =
        ExpectBox(program, kQuitCaption, question, dialog, true, {IDYES, IDNO});
    EXPECT_EQ(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    ASSERT_TRUE(Drop(program, {Wide(other)}, MiddleOf(program, IDC_STATUS)));
    ASSERT_TRUE(Drop(program, {Wide(other)}, MiddleOf(program, IDC_TARGET_PATH)));
    EXPECT_EQ(Text(source), Wide(pieces));
    EXPECT_EQ(Text(target), Wide(joined));
    EXPECT_TRUE(IsChecked(program.Item(IDC_MODE_JOIN)));

    ASSERT_TRUE(Answer(asked, IDYES));
    ASSERT_TRUE(
        Answer(ExpectBox(program, kSuccessCaption, kSuccessText, nullptr, true, {IDOK}), IDOK));
    ExpectNothingLost(pieces, output, kCount);
    EXPECT_EQ(ReadWholeFile(output).size(), kCount * kMiB);
    EXPECT_TRUE(ListNames(other).empty()) << "nothing joined into the folder dropped";
    EXPECT_TRUE(WaitUntil([&] {
        return (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0;
    })) << "idle again";
    CloseIdle(program);
}

TEST_F(SecantorDeleting, DamagedPieceUnderItsSha256sumsStopsTheJoin) {
    const std::string pieces = m_folder / "pieces";
    MakeFolder(pieces);
    std::string sums;
    platform::Sha256 sha;
    for (int k = 1; k <= 5; ++k) {
        const std::string bytes = Pattern(k < 5 ? kMiB : 1000, static_cast<unsigned>(k));
        std::string digest;
        ASSERT_TRUE(sha.Update(bytes.data(), bytes.size()) && sha.Finish(&digest));
        sums += digest + "  " + std::to_string(k) + "__a.bin\n";
        std::string stored = bytes;
        if (k == 3) {
            stored[77] ^= 1;
        }
        WriteWholeFile(pieces + "\\" + std::to_string(k) + "__a.bin", stored);
    }
    WriteWholeFile(pieces + "\\SHA256SUMS", sums);
    const std::vector<std::string> before = ListNames(pieces);

    SecantorProcess program(m_folder.Path());
    Click(program.Item(IDC_MODE_JOIN));
    Click(program.Item(IDC_DELETE_SOURCE));
    ASSERT_TRUE(WaitUntil([&] { return Stored("D") == "1"; }));
    SetText(program.Item(IDC_SOURCE_PATH), Wide(pieces));
    SetText(program.Item(IDC_TARGET_PATH), Wide(m_folder / "joined"));
    Click(program.Item(IDC_START));
    ASSERT_TRUE(Answer(
        ExpectBox(program, kFailureCaption, kSourceErrorText, program.Dialog(), false, {IDOK}),
        IDOK));
    EXPECT_EQ(ListNames(pieces), before) << "no piece is deleted, the damaged one least of all";
    CloseIdle(program);
}

TEST_F(Secantor, NotificationsDriveTheBarWithThirtyTwoBitCounts) {
    SecantorProcess program(m_folder.Path());
    HWND dialog = program.Dialog();
    HWND bar = program.Item(IDC_PROGRESS);

    PostMessageW(dialog, WM_JOB_RANGE, 70000, 1);
    ASSERT_TRUE(WaitUntil([&] { return ProgressHigh(bar) == 70000; }));
    EXPECT_EQ(ProgressLow(bar), 0);

    PostMessageW(dialog, WM_JOB_PROGRESS, 0, 3);
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_STATUS)) == Finished(3); }));
    EXPECT_EQ(ProgressPos(bar), 3);
    PostMessageW(dialog, WM_JOB_PROGRESS, 0, 66000);
    ASSERT_TRUE(WaitUntil([&] { return ProgressPos(bar) == 66000; }));
    EXPECT_EQ(Text(program.Item(IDC_STATUS)), Finished(66000));

    // An unknown result shows no box but still refreshes: the refresh follows the box, so it
    // comes only once a box would have been answered.
    PostMessageW(dialog, WM_JOB_DONE, JOB_TARGET_ERROR + 1, 0);
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_STATUS)) == kIdleStatus; }));
    EXPECT_EQ(ProgressPos(bar), 0);
    EXPECT_EQ(ProgressHigh(bar), 70000);
    CloseIdle(program);
}

TEST_F(Secantor, DroppedFileSplitsAndDroppedFolderJoinsAsIfChosen) {
    const std::string film = m_folder / "film.avi";
    WriteWholeFile(film, "film");
    const std::string pieces = m_folder / Ansi(L"分块");
    MakeFolder(pieces);
    const std::string kept = m_folder / "kept";
    MakeFolder(kept);
    // Code page 936 has no Hangul.
    const std::wstring foreign = Wide(m_folder.Path()) + L"\xD55C.avi";
    HANDLE file = CreateFileW(foreign.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    Store("PathCheck", "1");
    Store("Path", kept.c_str());

    SecantorProcess program(m_folder.Path());
    EXPECT_NE(GetWindowLongW(program.Dialog(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0)
        << "Explorer drops only on windows that accept files";
    HWND source = program.Item(IDC_SOURCE_PATH);
    HWND target = program.Item(IDC_TARGET_PATH);
    const POINT onSource = MiddleOf(program, IDC_SOURCE_PATH);

    // Several items: the first counts. A folder joins; the fixed output folder stays.
    ASSERT_TRUE(Drop(program, {Wide(pieces), Wide(film)}, onSource));
    EXPECT_TRUE(IsChecked(program.Item(IDC_MODE_JOIN)));
    EXPECT_FALSE(IsChecked(program.Item(IDC_MODE_SPLIT)));
    ExpectIdleTexts(program, false);
    EXPECT_EQ(Text(source), Wide(pieces));
    EXPECT_EQ(Text(target), Wide(kept));

    // Not fixed, the target is what the source's chooser proposes. A file splits, wherever
    // on the dialog it lands away from the target.
    Click(program.Item(IDC_FIXED_PATH));
    ASSERT_TRUE(WaitUntil([&] { return Stored("PathCheck") == "0"; }));
    ASSERT_TRUE(Drop(program, {Wide(film), Wide(pieces)}, MiddleOf(program, IDC_STATUS)));
    EXPECT_TRUE(IsChecked(program.Item(IDC_MODE_SPLIT)));
    EXPECT_FALSE(IsChecked(program.Item(IDC_MODE_JOIN)));
    ExpectIdleTexts(program, true);
    EXPECT_EQ(Text(source), Wide(film));
    EXPECT_EQ(Text(target), Wide(m_folder / "film"));
    ASSERT_TRUE(Drop(program, {Wide(pieces)}, onSource));
    ExpectIdleTexts(program, false);
    EXPECT_EQ(Text(target), Wide(pieces + "\\" + Ansi(L"分块")));

    // A folder on the target field or its chooser becomes the target, and only that.
    ASSERT_TRUE(Drop(program, {Wide(kept)}, MiddleOf(program, IDC_TARGET_PATH)));
    EXPECT_EQ(Text(target), Wide(kept));
    SetText(target, L"");
    ASSERT_TRUE(Drop(program, {Wide(kept)}, MiddleOf(program, IDC_BROWSE_TARGET)));
    EXPECT_EQ(Text(target), Wide(kept));
    EXPECT_EQ(Text(source), Wide(pieces));
    EXPECT_TRUE(IsChecked(program.Item(IDC_MODE_JOIN)));

    // Refused, leaving everything as it was: a name code page 936 cannot hold, even with a
    // good one after it, and a file on the target.
    ASSERT_TRUE(Drop(program, {foreign, Wide(film)}, onSource));
    ASSERT_TRUE(Drop(program, {Wide(film)}, MiddleOf(program, IDC_TARGET_PATH)));
    EXPECT_TRUE(IsChecked(program.Item(IDC_MODE_JOIN)));
    EXPECT_EQ(Text(source), Wide(pieces));
    EXPECT_EQ(Text(target), Wide(kept));
    EXPECT_FALSE(HasMessageBox(program.Id()));
    CloseIdle(program);
}

TEST_F(Secantor, FixedPathRoundTripsThroughTheSettingsFile) {
    const std::wstring typed = Wide(m_folder / "typed");
    const std::wstring kept = Wide(m_folder / Ansi(L"输出目录"));
    {
        SecantorProcess program(m_folder.Path());
        HWND target = program.Item(IDC_TARGET_PATH);
        HWND fixed = program.Item(IDC_FIXED_PATH);

        // Checking with nothing stored empties the field and stores that.
        SetText(target, typed);
        Click(fixed);
        ASSERT_TRUE(WaitUntil([&] { return Stored("PathCheck") == "1"; }));
        EXPECT_EQ(Stored("Path"), "");
        EXPECT_EQ(Text(target), L"");

        // While checked, a mode click puts the stored path back.
        SetText(target, typed);
        Click(program.Item(IDC_MODE_JOIN));
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
        Click(program.Item(IDC_DELETE_SOURCE));
        ASSERT_TRUE(WaitUntil([&] { return Text(target) == kept; }));
        CloseIdle(program);
    }
    SecantorProcess program(m_folder.Path());
    EXPECT_TRUE(IsChecked(program.Item(IDC_FIXED_PATH)));
    EXPECT_EQ(Text(program.Item(IDC_TARGET_PATH)), kept);
    CloseIdle(program);
}

TEST_F(Secantor, AboutShowsItsTextAgainAfterItWasEdited) {
    SecantorProcess program(m_folder.Path());
    HWND dialog = program.Dialog();

    for (int opening = 0; opening < 2; ++opening) {
        SCOPED_TRACE(opening);
        Click(program.Item(IDC_ABOUT));
        HWND about = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (about = FindDialog(program.Id(), L"关于Secanto")); }));
        EXPECT_EQ(GetWindow(about, GW_OWNER), dialog);
        EXPECT_FALSE(IsWindowEnabled(dialog)) << "modal to the main dialog";
        HWND text = GetDlgItem(about, IDC_ABOUT_TEXT);
        EXPECT_EQ(Text(text), kAboutText);

        SetText(text, L"edited by the user");
        if (opening == 0) {
            Click(GetDlgItem(about, IDC_ABOUT_OK));
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
    SetText(program.Item(IDC_SOURCE_PATH), Wide(m_folder / "a.bin"));
    SetText(program.Item(IDC_TARGET_PATH), Wide(m_folder / "out"));
    Click(program.Item(IDC_START));
    MessageBoxView box = ExpectBox(program, kSuccessCaption, kSuccessText, nullptr, true, {IDOK});

    // The ownerless box leaves the close button usable; no job is busy, so no question.
    Click(GetDlgItem(dialog, IDCANCEL));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(dialog); }));
    // The controller is gone: a late notification must be ignored, not acted on.
    PostMessageW(dialog, WM_JOB_PROGRESS, 0, 9);
    PostMessageW(dialog, WM_JOB_DONE, JOB_OK, 9);
    ASSERT_TRUE(WaitForInputHandled(program.Item(IDC_SOURCE_PATH)));
    EXPECT_EQ(Text(program.Item(IDC_STATUS)), Finished(1));
    ASSERT_TRUE(Answer(box, IDOK));
    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(kDefaultWaitMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

// A pieces folder both front ends write and read: the command line's SHA256SUMS and recovery
// data (made by secanto.exe here), lost and damaged pieces, stray entries. What each front
// end leaves there, the other reads right.
class SecantorFolder : public Secantor {
protected:
    // secanto.exe with `arguments`, in the test's folder: its exit code.
    DWORD Secanto(const std::wstring& arguments) const {
        return RunProgram(SecantoPath(), arguments, m_folder.Path());
    }

    // Every name in `folder` with its bytes, to tell that a job left it alone.
    static std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& folder) {
        std::vector<std::pair<std::string, std::string>> files;
        for (const std::string& name : ListNames(folder)) {
            files.emplace_back(name, ReadWholeFile(folder + "\\" + name));
        }
        return files;
    }

    static std::vector<std::string> RecoveryFiles(const std::string& folder) {
        std::vector<std::string> files;
        for (const std::string& name : ListNames(folder)) {
            if (name.size() > 5 && name.compare(name.size() - 5, 5, ".par2") == 0) {
                files.push_back(name);
            }
        }
        return files;
    }

    static void Damage(const std::string& path, std::size_t at) {
        std::string bytes = ReadWholeFile(path);
        bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
        WriteWholeFile(path, bytes);
    }

    // Starts a join of `pieces` into `joined` from the idle dialog, with delete-after-use as
    // asked.
    void StartJoin(const SecantorProcess& program,
                   const std::string& pieces,
                   const std::string& joined,
                   bool deleting) const {
        Click(program.Item(IDC_MODE_JOIN));
        ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_START)) == kJoinStart; }));
        if (IsChecked(program.Item(IDC_DELETE_SOURCE)) != deleting) {
            Click(program.Item(IDC_DELETE_SOURCE));
            ASSERT_TRUE(WaitUntil([&] { return Stored("D") == (deleting ? "1" : "0"); }));
        }
        SetText(program.Item(IDC_SOURCE_PATH), Wide(pieces));
        SetText(program.Item(IDC_TARGET_PATH), Wide(joined));
        Click(program.Item(IDC_START));
    }
};

// The issue's first case: the command line split doc.bin with SHA256SUMS and recovery data;
// the file changed; the dialog split it again into that folder. Its list lines and recovery
// files of that name go, other lines stay, and every front end joins the new version.
TEST_F(SecantorFolder, ASplitOverTheCommandLinesFolderKeepsItsListAndRecoveryDataTrue) {
    const std::string doc = m_folder / "doc.bin";
    const std::string pieces = m_folder / "F";
    std::string content = Pattern(5 * kMiB / 2, 7);
    WriteWholeFile(doc, content);
    ASSERT_EQ(Secanto(L"split doc.bin -s 1M -r 2 -o F"), 0u);
    ASSERT_FALSE(RecoveryFiles(pieces).empty());
    const std::string otherLine = std::string(64, '0') + "  notes.txt\n";
    WriteWholeFile(pieces + "\\SHA256SUMS", ReadWholeFile(pieces + "\\SHA256SUMS") + otherLine);
    for (std::size_t i = 0; i < 16; ++i) {
        content[2 * kMiB + 100 + i] = static_cast<char>(~content[2 * kMiB + 100 + i]);
    }
    WriteWholeFile(doc, content);

    SecantorProcess program(m_folder.Path());
    Click(program.Item(IDC_DELETE_SOURCE));
    ASSERT_TRUE(WaitUntil([&] { return Stored("D") == "1"; }));
    SetText(program.Item(IDC_SOURCE_PATH), Wide(doc));
    SetText(program.Item(IDC_TARGET_PATH), Wide(pieces));
    RunToSuccess(program, 3, true);
    EXPECT_FALSE(Exists(doc));
    EXPECT_EQ(RecoveryFiles(pieces), std::vector<std::string>());
    EXPECT_EQ(ReadWholeFile(pieces + "\\SHA256SUMS"), otherLine) << "only that name's lines go";

    EXPECT_EQ(Secanto(L"join F -o out-exe"), 0u);
    EXPECT_TRUE(ReadWholeFile(m_folder / "out-exe\\doc.bin") == content) << "secanto.exe";
    // The native program, where the native build is there to run.
    const char* native = std::getenv("SECANTO_NATIVE");
    if (native != nullptr && *native != '\0' && Exists("Z:" + std::string(native))) {
        EXPECT_EQ(RunHostProgram(native,
                                 "join '" + HostPath(pieces) + "' -o '" +
                                     HostPath(m_folder / "out-native") + "'",
                                 m_folder / "native.status"),
                  0u);
        EXPECT_TRUE(ReadWholeFile(m_folder / "out-native\\doc.bin") == content) << "native";
    } else {
        std::printf("no native secanto to join the folder with\n");
    }
    Click(program.Item(IDC_DELETE_SOURCE));
    ASSERT_TRUE(WaitUntil([&] { return Stored("D") == "0"; }));
    Click(program.Item(IDC_MODE_JOIN));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_START)) == kJoinStart; }));
    SetText(program.Item(IDC_SOURCE_PATH), Wide(pieces));
    SetText(program.Item(IDC_TARGET_PATH), Wide(m_folder / "out-dialog"));
    RunToSuccess(program, 3, false);
    EXPECT_TRUE(ReadWholeFile(m_folder / "out-dialog\\doc.bin") == content) << "the dialog";
    CloseIdle(program);
}

// Recovery data among the pieces: the join rebuilds what is lost or damaged, as repair does,
// then joins; with delete-after-use the recovery files and the list go last. One loss more
// than the recovery data holds changes nothing.
TEST_F(SecantorFolder, AJoinRebuildsLostAndDamagedPiecesOrChangesNothing) {
    const std::string content = Pattern(5 * kMiB + 1000, 3);
    WriteWholeFile(m_folder / "a.bin", content);
    ASSERT_EQ(Secanto(L"split a.bin -s 1M -r 2 -o P"), 0u);
    const std::string pieces = m_folder / "P";
    const std::string full = m_folder / "full";
    MakeFolder(full);
    for (const std::string& name : ListNames(pieces)) {
        WriteWholeFile(full + "\\" + name, ReadWholeFile(pieces + "\\" + name));
    }
    SecantorProcess program(m_folder.Path());
    HWND dialog = program.Dialog();

    // Three lost: more than two pieces' worth.
    for (int k : {1, 3, 5}) {
        ASSERT_TRUE(DeleteFileA((pieces + "\\" + std::to_string(k) + "__a.bin").c_str()));
    }
    const auto before = Snapshot(pieces);
    StartJoin(program, pieces, m_folder / "none", true);
    ASSERT_TRUE(
        Answer(ExpectBox(program, kFailureCaption, kSourceErrorText, dialog, false, {IDOK}), IDOK));
    EXPECT_TRUE(Snapshot(pieces) == before) << "nothing in the folder changed";
    EXPECT_FALSE(Exists(m_folder / "none"));

    // One lost and one damaged: rebuilt, joined, and everything of the name gone after.
    for (int k : {1, 5}) {
        const std::string name = std::to_string(k) + "__a.bin";
        WriteWholeFile(pieces + "\\" + name, ReadWholeFile(full + "\\" + name));
    }
    Damage(pieces + "\\5__a.bin", 12345);
    StartJoin(program, pieces, m_folder / "joined", true);
    ASSERT_TRUE(
        Answer(ExpectBox(program, kSuccessCaption, kSuccessText, nullptr, true, {IDOK}), IDOK));
    EXPECT_TRUE(ReadWholeFile(m_folder / "joined\\a.bin") == content) << "not the original";
    EXPECT_EQ(ListNames(pieces), std::vector<std::string>{".SHA256SUMS.lock"})
        << "the pieces, their recovery files and their list go after a join that deletes";
    CloseIdle(program);
}

// 终止 during a rebuild stops it like any job: no piece takes its name half checked; the
// status line and the bar show the rebuild meanwhile.
TEST_F(SecantorFolder, AbortDuringARebuildChangesNoPiece) {
    const std::string content = Pattern(96 * kMiB, 5);
    WriteWholeFile(m_folder / "big.bin", content);
    ASSERT_EQ(Secanto(L"split big.bin -s 1M -r 3 -o R"), 0u);
    const std::string pieces = m_folder / "R";
    const std::vector<std::string> whole = ListNames(pieces);
    for (int k : {2, 50, 90}) {
        ASSERT_TRUE(DeleteFileA((pieces + "\\" + std::to_string(k) + "__big.bin").c_str()));
    }
    const std::vector<std::string> before = ListNames(pieces);

    SecantorProcess program(m_folder.Path());
    StartJoin(program, pieces, m_folder / "joined", false);
    wchar_t rebuilding[64];
    std::swprintf(rebuilding, sizeof rebuilding / sizeof rebuilding[0], kRebuildStatus, 3);
    HWND status = program.Item(IDC_STATUS);
    const bool seen =
        WaitUntil([&] { return Text(status) == rebuilding || HasMessageBox(program.Id()); }, 60000);
    ASSERT_TRUE(seen);
    if (Text(status) != rebuilding) {
        ASSERT_TRUE(
            Answer(ExpectBox(program, kSuccessCaption, kSuccessText, nullptr, true, {IDOK}), IDOK));
        CloseIdle(program);
        GTEST_SKIP() << "the rebuild ended before it was seen";
    }
    EXPECT_EQ(ProgressHigh(program.Item(IDC_PROGRESS)), 1000) << "the bar runs over the rebuild";
    MessageBoxView box;
    ASSERT_TRUE(AbortConfirmed(program, &box));
    if (box.text == kAbortedText) {
        ASSERT_TRUE(Answer(box, IDOK));
        // Stopped in the rebuild: no piece rebuilt. A rebuild that ended before the answer
        // came (a slow machine) has every lost piece back, which the join below checks.
        const std::vector<std::string> after = ListNames(pieces);
        EXPECT_TRUE(after == before || after == whole)
            << "a rebuild stopped halfway, or a temporary file left";
        EXPECT_FALSE(Exists(m_folder / "joined\\big.bin"));
        Click(program.Item(IDC_START));
        box = ExpectBox(program, kSuccessCaption, kSuccessText, nullptr, true, {IDOK});
    }
    EXPECT_EQ(box.text, kSuccessText);
    ASSERT_TRUE(Answer(box, IDOK));
    EXPECT_TRUE(ReadWholeFile(m_folder / "joined\\big.bin") == content);
    CloseIdle(program);
}

// A damaged piece under its SHA256SUMS line, with a good file of that name in the target: the
// join fails, and that file then ends with the last piece that passed, holding no damaged
// byte.
TEST_F(SecantorFolder, AFailedCheckLeavesNoDamagedByteInTheJoinedFile) {
    const std::string content = Pattern(12 * kMiB, 9);
    WriteWholeFile(m_folder / "b.bin", content);
    ASSERT_EQ(Secanto(L"split b.bin -s 1M -o D"), 0u);
    Damage(m_folder / "D\\7__b.bin", 4321);
    MakeFolder(m_folder / "T");
    WriteWholeFile(m_folder / "T\\b.bin", "a good file the user had");

    SecantorProcess program(m_folder.Path());
    StartJoin(program, m_folder / "D", m_folder / "T", false);
    ASSERT_TRUE(Answer(
        ExpectBox(program, kFailureCaption, kSourceErrorText, program.Dialog(), false, {IDOK}),
        IDOK));
    const std::string joined = ReadWholeFile(m_folder / "T\\b.bin");
    EXPECT_TRUE(joined == content.substr(0, 6 * kMiB))
        << joined.size() << " bytes: not pieces 1 to 6 alone";
    CloseIdle(program);
}

// A stray entry with "__" in its name and a folder whose name holds "__" decide nothing, even
// listed last: only N__NAME files are pieces.
TEST_F(SecantorFolder, StrayEntriesBesideASetDoNotDecideTheJoin) {
    const std::string pieces = m_folder / "S";
    MakeFolder(pieces);
    std::string content;
    for (int k = 1; k <= 3; ++k) {
        const std::string bytes = Pattern(k < 3 ? kMiB : 500, static_cast<unsigned>(k));
        WriteWholeFile(pieces + "\\" + std::to_string(k) + "__s.bin", bytes);
        content += bytes;
    }
    MakeFolder(pieces + "\\old__stuff");
    // More strays until one of them is what the system lists last.
    const auto lastListed = [&] {
        WIN32_FIND_DATAA found;
        std::string last;
        HANDLE find = FindFirstFileA((pieces + "\\*").c_str(), &found);
        for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found)) {
            if (std::strstr(found.cFileName, "__") != nullptr) {
                last = found.cFileName;
            }
        }
        FindClose(find);
        return last;
    };
    WriteWholeFile(pieces + "\\read__me.txt", "notes");
    for (int i = 0; i < 40 && lastListed().find("__s.bin") != std::string::npos; ++i) {
        WriteWholeFile(pieces + "\\n" + std::to_string(i) + "__me.txt", "notes");
    }
    ASSERT_EQ(lastListed().find("__s.bin"), std::string::npos);

    SecantorProcess program(m_folder.Path());
    StartJoin(program, pieces, m_folder / "joined", false);
    ASSERT_TRUE(
        Answer(ExpectBox(program, kSuccessCaption, kSuccessText, nullptr, true, {IDOK}), IDOK));
    EXPECT_TRUE(ReadWholeFile(m_folder / "joined\\s.bin") == content);
    CloseIdle(program);
}

}  // namespace
