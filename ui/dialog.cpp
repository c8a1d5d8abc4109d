// Modal dialogs and their message maps.
#include "ui/dialog.h"

#include "ui/win_app.h"

CDialog::CDialog(UINT templateId, HWND parent) : m_nTemplateId(templateId), m_hWndParent(parent) {}

CDialog::~CDialog() {
    if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
        DestroyWindow(m_hWnd);
    }
}

INT_PTR CDialog::DoModal() {
    HWND owner = m_hWndParent;
    CWinApp* app = CWinApp::Get();
    if (owner == nullptr && app != nullptr && app->m_pMainWnd != nullptr &&
        app->m_pMainWnd != this) {
        owner = app->m_pMainWnd->GetSafeHwnd();
    }
    const INT_PTR result =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nTemplateId), owner,
                        DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

const CDialog::MessageMap* CDialog::GetMessageMap() const {
    static const MessageMapEntry entries[] = {
        OnClicked(IDOK, &CDialog::OnOK),
        OnClicked(IDCANCEL, &CDialog::OnCancel),
    };
    static const MessageMap map = {nullptr, entries, sizeof entries / sizeof entries[0]};
    return &map;
}

BOOL CDialog::OnInitDialog() {
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(INT_PTR result) {
    ::EndDialog(m_hWnd, result);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->m_hWnd = window;
        dialog->CenterWindow();
        return dialog->OnInitDialog();
    }
    auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (dialog == nullptr) {
        return FALSE;
    }
    LRESULT result = 0;
    if (!dialog->Dispatch(message, wParam, lParam, &result)) {
        return FALSE;
    }
    if (message != WM_COMMAND) {
        SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    }
    return TRUE;
}

bool CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base) {
        for (std::size_t i = 0; i < map->count; ++i) {
            const MessageMapEntry& entry = map->entries[i];
            if (entry.message != message) {
                continue;
            }
            if (message == WM_COMMAND) {
                if (entry.controlId != LOWORD(wParam) || entry.notification != HIWORD(wParam)) {
                    continue;
                }
                (this->*entry.onCommand)();
            } else {
                *result = (this->*entry.onMessage)(wParam, lParam);
            }
            return true;
        }
    }
    return false;
}

void CDialog::CenterWindow() {
    RECT area;
    HWND owner = GetWindow(m_hWnd, GW_OWNER);
    if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) {
        GetWindowRect(owner, &area);
    } else {
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
        area = monitor.rcWork;
    }
    RECT own;
    GetWindowRect(m_hWnd, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    const int x = area.left + (area.right - area.left - width) / 2;
    const int y = area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
