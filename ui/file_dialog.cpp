// The open-file dialog over the system's common dialog.
#include "ui/file_dialog.h"

#include <cstring>

#include "ui/dialog.h"
#include "ui/file_filter.h"
#include "ui/win_app.h"

CFileDialog::CFileDialog(BOOL openFileDialog,
                         const char* defaultExtension,
                         const char* fileName,
                         DWORD flags,
                         const char* filter,
                         HWND parent)
    : m_bOpenFileDialog(openFileDialog),
      m_strDefaultExtension(defaultExtension != nullptr ? defaultExtension : ""),
      m_strFilter(SystemFilter(filter != nullptr ? filter : "")) {
    if (fileName != nullptr) {
        std::strncpy(m_szFileName, fileName, MAX_PATH - 1);
    }
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hwndOwner = parent;
    m_ofn.lpstrFilter = m_strFilter.empty() ? nullptr : m_strFilter.c_str();
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = MAX_PATH;
    m_ofn.lpstrDefExt = defaultExtension != nullptr ? m_strDefaultExtension.c_str() : nullptr;
    // The settings file is looked for in the current directory, so browsing must not move it.
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_NOCHANGEDIR;
}

INT_PTR CFileDialog::DoModal() {
    CWinApp* app = CWinApp::Get();
    if (m_ofn.hwndOwner == nullptr && app != nullptr && app->m_pMainWnd != nullptr) {
        m_ofn.hwndOwner = app->m_pMainWnd->GetSafeHwnd();
    }
    const BOOL chosen = m_bOpenFileDialog ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
    return chosen ? IDOK : IDCANCEL;
}
