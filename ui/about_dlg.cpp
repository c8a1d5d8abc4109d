// The About dialog's text and icon.
#include "ui/about_dlg.h"

#include "resources/resource.h"

namespace {

const wchar_t kAboutText[] =
    L"简介:\r\n"
    L"本工具能够对比较大的文件进行分割存放，利于\r\n"
    L"文件进行存储，而且对于某些文件来说，分割存储\r\n"
    L"是必须的手段。\r\n"
    L"版本:1.0";

}  // namespace

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
