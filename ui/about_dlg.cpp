// The About dialog's text and icon.
#include "ui/about_dlg.h"

#include "resources/resource.h"
#include "ui/dialog_texts.h"

CAboutDlg::CAboutDlg(HWND parent) : CDialog(IDD_ABOUT_DIALOG, parent) {}

CAboutDlg::~CAboutDlg() = default;

const CDialog::MessageMap* CAboutDlg::GetMessageMap() const {
    static const MessageMapEntry entries[] = {
        OnClicked(IDC_ABOUT_OK, &CAboutDlg::OnOK),
    };
    static const MessageMap map = {CDialog::GetMessageMap(), entries,
                                   sizeof entries / sizeof entries[0]};
    return &map;
}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    SetDlgItemTextW(m_hWnd, IDC_ABOUT_TEXT, kAboutText);
    return TRUE;
}
