// The system's open-file dialog, with paths in the ANSI code page as the jobs take them.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

class CFileDialog {
public:
    // `filter` is in the '|'-separated form of ui/file_filter.h. With no parent, the
    // application's main window becomes the owner when the dialog runs.
    CFileDialog(BOOL openFileDialog,
                const char* defaultExtension,
                const char* fileName,
                DWORD flags,
                const char* filter,
                HWND parent);

    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when the user chose a file, else IDCANCEL; a path longer than the name buffer
    // also ends without IDOK.
    INT_PTR DoModal();

    // The chosen file's full path.
    std::string GetPathName() const { return m_szFileName; }

private:
    BOOL m_bOpenFileDialog;
    std::string m_strDefaultExtension;
    std::string m_strFilter;
    OPENFILENAMEA m_ofn = {};
    char m_szFileName[MAX_PATH] = {};
};
