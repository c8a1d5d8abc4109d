// The main dialog's handlers.
#include "ui/splitter_dlg.h"

#include <climits>
#include <cstdint>
#include <cwchar>

#include "engine/continue_probe.h"
#include "engine/job_notifications.h"
#include "engine/target_rules.h"
#include "folder/join_set.h"
#include "folder/join_verifier.h"
#include "folder/split_upkeep.h"
#include "resources/resource.h"
#include "ui/about_dlg.h"
#include "ui/ansi_text.h"
#include "ui/dialog_texts.h"
#include "ui/file_dialog.h"
#include "ui/file_drop.h"
#include "ui/folder_picker.h"
#include "ui/piece_size.h"
#include "ui/settings.h"
#include "ui/win_app.h"

int g_bFixedPath = 0;

namespace {

// Progress is drawn at most this often: a job may report a piece every millisecond, and
// each drawing of the bar and the status line costs more than that under Wine's X11 driver.
constexpr UINT kProgressRefreshMs = 50;
constexpr UINT_PTR kProgressTimerId = 1;

}  // namespace

CSplitterDlg::CSplitterDlg() : CDialog(IDD_MAIN_DIALOG, nullptr) {}

CSplitterDlg::~CSplitterDlg() = default;

const CDialog::MessageMap* CSplitterDlg::GetMessageMap() const {
    static const MessageMapEntry entries[] = {
        OnClicked(IDC_BROWSE_SOURCE, &CSplitterDlg::OnBrowseSource),
        OnClicked(IDC_BROWSE_TARGET, &CSplitterDlg::OnBrowseTarget),
        OnClicked(IDC_START, &CSplitterDlg::OnStartClicked),
        OnClicked(IDC_ABORT, &CSplitterDlg::OnAbort),
        OnClicked(IDC_MODE_SPLIT, &CSplitterDlg::UpdateControls),
        OnClicked(IDC_MODE_JOIN, &CSplitterDlg::UpdateControls),
        OnClicked(IDC_ABOUT, &CSplitterDlg::OnAbout),
        OnClicked(IDC_DELETE_SOURCE, &CSplitterDlg::OnDeleteSourceClicked),
        OnClicked(IDC_FIXED_PATH, &CSplitterDlg::OnFixedPathClicked),
        OnMessage(WM_DROPFILES, &CSplitterDlg::OnDropFiles),
        OnMessage(WM_JOB_RANGE, &CSplitterDlg::OnJobRange),
        OnMessage(WM_JOB_PROGRESS, &CSplitterDlg::OnJobProgress),
        OnMessage(WM_JOB_REBUILD, &CSplitterDlg::OnJobRebuild),
        OnMessage(WM_JOB_DONE, &CSplitterDlg::OnJobEnded),
        OnMessage(WM_ENABLE, &CSplitterDlg::OnEnable),
        OnMessage(WM_TIMER, &CSplitterDlg::OnTimer),
    };
    static const MessageMap map = {CDialog::GetMessageMap(), entries,
                                   sizeof entries / sizeof entries[0]};
    return &map;
}

BOOL CSplitterDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    m_pController = std::make_unique<CJobController>(m_hWnd);

    CheckDlgButton(m_hWnd, IDC_MODE_SPLIT, BST_CHECKED);

    for (const wchar_t* size : kPieceSizeChoices) {
        SendDlgItemMessageW(m_hWnd, IDC_PIECE_SIZE, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(size));
    }
    SendDlgItemMessageW(m_hWnd, IDC_PIECE_SIZE, CB_SETCURSEL, 0, 0);

    if (settings::ReadOption(settings::kDeleteSource)) {
        CheckDlgButton(m_hWnd, IDC_DELETE_SOURCE, BST_CHECKED);
    }
    if (settings::ReadOption(settings::kFixedPath)) {
        CheckDlgButton(m_hWnd, IDC_FIXED_PATH, BST_CHECKED);
    }

    m_wndProgress.Attach(GetDlgItem(m_hWnd, IDC_PROGRESS));
    UpdateControls();
    AcceptDrops();
    return TRUE;
}

void CSplitterDlg::OnOK() {}

void CSplitterDlg::OnCancel() {
    if (m_pController != nullptr && m_pController->m_bBusy) {
        const int answer =
            MessageBoxW(nullptr, kQuitQuestion, kQuitCaption, MB_YESNO | MB_ICONINFORMATION);
        if (answer != IDYES) {
            return;
        }
    }
    // The question is ownerless, so this may run a second time inside it.
    if (m_pController != nullptr) {
        m_pController->Shutdown();
        m_pController.reset();
    }
    CDialog::OnCancel();
}

void CSplitterDlg::UpdateControls() {
    if (m_pController == nullptr) {
        return;
    }
    SyncOptions();
    if (m_pController->m_bBusy) {
        return;
    }
    const bool split = IsChecked(IDC_MODE_SPLIT);
    SetDlgItemTextW(m_hWnd, IDC_START, split ? kSplitStart : kJoinStart);
    SetDlgItemTextW(m_hWnd, IDC_SOURCE_LABEL, split ? kSplitSourceLabel : kJoinSourceLabel);
    SetDlgItemTextW(m_hWnd, IDC_TARGET_LABEL, split ? kSplitTargetLabel : kJoinTargetLabel);
    EnableWindow(GetDlgItem(m_hWnd, IDC_PIECE_SIZE), split);
    SetDlgItemTextW(m_hWnd, IDC_STATUS, kIdleStatus);
    m_wndProgress.SetPos(0);
}

void CSplitterDlg::SyncOptions() {
    m_pController->m_bDeleteSource = IsChecked(IDC_DELETE_SOURCE);
    if (IsChecked(IDC_FIXED_PATH)) {
        g_bFixedPath = 1;
        SetDlgItemTextA(m_hWnd, IDC_TARGET_PATH, settings::ReadFixedPath().c_str());
    } else {
        g_bFixedPath = 0;
    }
}

void CSplitterDlg::OnBrowseSource() {
    if (IsChecked(IDC_MODE_SPLIT)) {
        CFileDialog dialog(TRUE, "*.*", "*.*", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                           AnsiText(kSourceFilter).c_str(), nullptr);
        if (dialog.DoModal() == IDOK) {
            SetSource(dialog.GetPathName());
        }
        return;
    }
    CFolderPicker picker;
    if (picker.Browse(m_hWnd, nullptr)) {
        SetSource(picker.m_path);
    }
}

void CSplitterDlg::SetSource(const std::string& source) {
    SetDlgItemTextA(m_hWnd, IDC_SOURCE_PATH, source.c_str());
    if (g_bFixedPath == 0) {
        const std::string target =
            IsChecked(IDC_MODE_SPLIT) ? SplitTargetFor(source) : JoinTargetFor(source);
        SetDlgItemTextA(m_hWnd, IDC_TARGET_PATH, target.c_str());
    }
}

void CSplitterDlg::SelectMode(int modeId) {
    CheckDlgButton(m_hWnd, IDC_MODE_SPLIT, modeId == IDC_MODE_SPLIT ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hWnd, IDC_MODE_JOIN, modeId == IDC_MODE_JOIN ? BST_CHECKED : BST_UNCHECKED);
    UpdateControls();
}

void CSplitterDlg::OnBrowseTarget() {
    CFolderPicker picker;
    if (picker.Browse(m_hWnd, nullptr)) {
        SetDlgItemTextA(m_hWnd, IDC_TARGET_PATH, picker.m_path);
    }
}

void CSplitterDlg::OnStart() {
    if (m_pController == nullptr) {
        return;
    }
    const std::string source = GetItemTextA(IDC_SOURCE_PATH);
    const std::string target = GetItemTextA(IDC_TARGET_PATH);
    if (source.empty() || target.empty()) {
        MessageBoxW(nullptr, kEmptyFieldText, kInfoCaption, MB_ICONINFORMATION);
        return;
    }
    // A running job keeps what watches it; the controller refuses the start anyway.
    if (m_pController->m_bBusy) {
        return;
    }
    if (IsChecked(IDC_MODE_SPLIT)) {
        std::uint32_t pieceSize = 0;
        if (!ParsePieceSize(GetItemTextW(IDC_PIECE_SIZE).c_str(), &pieceSize)) {
            MessageBoxW(nullptr, kBadPieceSizeText, kInfoCaption, MB_ICONINFORMATION);
            return;
        }
        // SHA256SUMS lines and recovery files of that name in the target folder describe
        // earlier pieces: they go once the new pieces are written, before the source may.
        auto upkeep = std::make_unique<folder::SplitUpkeep>(false, folder::RecoveryAmount(),
                                                            recovery::KeepGoing());
        m_pController->SetObserver(upkeep.get());
        m_pObserver = std::move(upkeep);
        m_pController->StartSplit(target.c_str(), source.c_str(), pieceSize);
        return;
    }
    // The pieces of one file: of the one whose piece is listed last where there are several.
    const folder::JoinSet set = folder::ChooseJoinSet(source, folder::SetRule::kLastListed);
    if (set.found != folder::JoinSet::Found::kOne) {
        MessageBoxW(m_hWnd, kSourceErrorText, kFailureCaption, MB_OK);
        return;
    }
    JoinOptions options;
    options.fileName = set.fileName;
    // A join with delete-after-use that stopped left the first pieces in the file of the
    // joined name: the user may go on from it rather than be told a piece is missing.
    ContinueProbe probe;
    if (ProbeContinue(source, target, false, &probe, options.fileName) == ContinueFit::kFits) {
        wchar_t question[128];
        std::swprintf(question, sizeof question / sizeof question[0], kContinueQuestion,
                      probe.plan.kept);
        options.continueOutput =
            MessageBoxW(m_hWnd, question, kQuitCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
        if (m_pController == nullptr || m_pController->m_bBusy) {
            return;
        }
    }
    // Pieces with a SHA256SUMS that lists their file are checked before they are used;
    // any mismatch ends the join as a source error.
    auto verifier = std::make_unique<folder::JoinVerifier>();
    verifier->Checker().ReadList(source);
    std::string reason;
    if (!verifier->Checker().Start(&reason)) {
        MessageBoxW(m_hWnd, kSourceErrorText, kFailureCaption, MB_OK);
        return;
    }
    // Missing and damaged pieces are rebuilt first where recovery data allows; what described
    // the pieces goes just before a join with delete-after-use deletes the last of them.
    auto upkeep = std::make_unique<folder::JoinUpkeep>(!options.continueOutput, true);
    options.folderWork = upkeep.get();
    m_pController->SetObserver(verifier.get());
    m_pObserver = std::move(verifier);
    m_pUpkeep = std::move(upkeep);
    m_pController->StartJoin(target.c_str(), source.c_str(), options);
}

void CSplitterDlg::OnAbort() {
    if (m_pController == nullptr) {
        return;
    }
    m_pController->Pause();
    const int answer = MessageBoxW(m_hWnd, kAbortQuestion, CWinApp::Get()->m_strAppName.c_str(),
                                   MB_YESNO | MB_ICONINFORMATION);
    if (m_pController == nullptr) {
        return;
    }
    if (answer == IDYES) {
        m_pController->Abort();
    } else {
        m_pController->Resume();
    }
}

void CSplitterDlg::OnAbout() {
    g_aboutDlg.DoModal();
}

void CSplitterDlg::OnDeleteSourceClicked() {
    if (m_pController == nullptr) {
        return;
    }
    SyncOptions();
    settings::WriteOption(settings::kDeleteSource, m_pController->m_bDeleteSource);
}

void CSplitterDlg::OnFixedPathClicked() {
    if (m_pController == nullptr) {
        return;
    }
    SyncOptions();
    settings::WriteFixedPath(GetItemTextA(IDC_TARGET_PATH));
    settings::WriteOption(settings::kFixedPath, g_bFixedPath != 0);
}

bool CSplitterDlg::DropsWelcome() const {
    return m_pController != nullptr && !m_bJobStarted && IsWindowEnabled(m_hWnd);
}

void CSplitterDlg::AcceptDrops() {
    DragAcceptFiles(m_hWnd, DropsWelcome() ? TRUE : FALSE);
}

void CSplitterDlg::OnStartClicked() {
    OnStart();
    m_bJobStarted = m_pController != nullptr && m_pController->m_bBusy;
    AcceptDrops();
}

LRESULT CSplitterDlg::OnEnable(WPARAM, LPARAM) {
    AcceptDrops();
    return 0;
}

LRESULT CSplitterDlg::OnJobEnded(WPARAM result, LPARAM finished) {
    m_bJobStarted = false;
    const LRESULT handled = OnJobDone(result, finished);
    AcceptDrops();
    return handled;
}

LRESULT CSplitterDlg::OnDropFiles(WPARAM drop, LPARAM) {
    const CFileDrop dropped(reinterpret_cast<HDROP>(drop));
    // A running job reads the fields no more, but what they show is what it works on; the
    // answer to an open question goes on with what they held.
    if (!DropsWelcome() || m_pController->m_bBusy) {
        return 0;
    }
    std::wstring wide;
    std::string path;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (!dropped.FirstPath(&wide) || !ExactAnsiText(wide, &path) ||
        (attributes = GetFileAttributesA(path.c_str())) == INVALID_FILE_ATTRIBUTES) {
        MessageBeep(MB_ICONWARNING);
        return 0;
    }
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const POINT at = dropped.Point();
    if (IsOver(IDC_TARGET_PATH, at) || IsOver(IDC_BROWSE_TARGET, at)) {
        // The target is a folder, as its chooser picks only folders.
        if (!folder) {
            MessageBeep(MB_ICONWARNING);
            return 0;
        }
        SetDlgItemTextA(m_hWnd, IDC_TARGET_PATH, path.c_str());
        return 0;
    }
    SelectMode(folder ? IDC_MODE_JOIN : IDC_MODE_SPLIT);
    SetSource(path);
    return 0;
}

LRESULT CSplitterDlg::OnJobRebuild(WPARAM pieces, LPARAM thousandths) {
    if (m_pController == nullptr) {
        return 0;
    }
    if (!m_bRebuildShown) {
        m_wndProgress.SetRange32(0, 1000);
        m_bRebuildShown = true;
    }
    m_wndProgress.SetPos(static_cast<int>(thousandths));
    wchar_t status[64];
    std::swprintf(status, sizeof status / sizeof status[0], kRebuildStatus,
                  static_cast<int>(pieces));
    SetDlgItemTextW(m_hWnd, IDC_STATUS, status);
    return 0;
}

LRESULT CSplitterDlg::OnJobRange(WPARAM pieces, LPARAM) {
    if (m_pController == nullptr) {
        return 0;
    }
    m_wndProgress.SetRange32(0, pieces > INT_MAX ? INT_MAX : static_cast<int>(pieces));
    if (m_bRebuildShown) {
        m_wndProgress.SetPos(0);
        m_bRebuildShown = false;
    }
    UpdateControls();
    return 0;
}

LRESULT CSplitterDlg::OnJobProgress(WPARAM, LPARAM finished) {
    if (m_pController == nullptr) {
        return 0;
    }
    m_nReportedPieces = static_cast<int>(finished);
    // The time is checked here as well as by the timer: the system makes the timer's
    // message only when the queue is empty, which a steady stream of notifications prevents.
    const ULONGLONG since = GetTickCount64() - m_nLastRefreshTick;
    if (since >= kProgressRefreshMs) {
        ShowProgress();
    } else if (!m_bRefreshPending) {
        m_bRefreshPending = SetTimer(m_hWnd, kProgressTimerId,
                                     static_cast<UINT>(kProgressRefreshMs - since), nullptr) != 0;
        if (!m_bRefreshPending) {
            ShowProgress();
        }
    }
    return 0;
}

LRESULT CSplitterDlg::OnTimer(WPARAM timerId, LPARAM) {
    // A timer message may still come after ShowProgress has stopped the timer.
    if (timerId != kProgressTimerId || !m_bRefreshPending) {
        return 0;
    }
    if (m_pController == nullptr) {
        KillTimer(m_hWnd, kProgressTimerId);
        m_bRefreshPending = false;
        return 0;
    }
    ShowProgress();
    return 0;
}

void CSplitterDlg::ShowProgress() {
    if (m_bRefreshPending) {
        KillTimer(m_hWnd, kProgressTimerId);
        m_bRefreshPending = false;
    }
    m_wndProgress.SetPos(m_nReportedPieces);
    wchar_t status[64];
    std::swprintf(status, sizeof status / sizeof status[0], kFinishedStatus, m_nReportedPieces);
    SetDlgItemTextW(m_hWnd, IDC_STATUS, status);
    m_nLastRefreshTick = GetTickCount64();
}

LRESULT CSplitterDlg::OnJobDone(WPARAM result, LPARAM) {
    if (m_pController == nullptr) {
        return 0;
    }
    // The result box shows over the last count reported, not an older one.
    if (m_bRefreshPending) {
        ShowProgress();
    }
    m_bRebuildShown = false;
    switch (result) {
        case JOB_OK:
            MessageBoxW(nullptr, kSuccessText, kSuccessCaption, MB_ICONINFORMATION);
            break;
        case JOB_ABORTED:
            MessageBoxW(m_hWnd, kAbortedText, kFailureCaption, MB_OK);
            break;
        case JOB_SOURCE_ERROR:
            MessageBoxW(m_hWnd, kSourceErrorText, kFailureCaption, MB_OK);
            break;
        case JOB_TARGET_ERROR:
            MessageBoxW(m_hWnd, kTargetErrorText, kFailureCaption, MB_OK);
            break;
        default:
            break;
    }
    // The controller may have been destroyed while the box was open; UpdateControls
    // then does nothing.
    UpdateControls();
    return 0;
}

bool CSplitterDlg::IsChecked(int controlId) const {
    return IsDlgButtonChecked(m_hWnd, controlId) == BST_CHECKED;
}

bool CSplitterDlg::IsOver(int controlId, POINT at) const {
    RECT area;
    if (!GetWindowRect(GetDlgItem(m_hWnd, controlId), &area)) {
        return false;
    }
    MapWindowPoints(HWND_DESKTOP, m_hWnd, reinterpret_cast<POINT*>(&area), 2);
    return PtInRect(&area, at) != 0;
}

std::wstring CSplitterDlg::GetItemTextW(int controlId) const {
    HWND control = GetDlgItem(m_hWnd, controlId);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    const int copied = GetWindowTextW(control, &text[0], static_cast<int>(text.size()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

std::string CSplitterDlg::GetItemTextA(int controlId) const {
    HWND control = GetDlgItem(m_hWnd, controlId);
    // The length in the ANSI code page can only be overestimated, never under.
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    const int copied = GetWindowTextA(control, &text[0], static_cast<int>(text.size()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}
