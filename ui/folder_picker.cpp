// The folder browser.
#include "ui/folder_picker.h"

#include <objbase.h>

#include <string>

#include "ui/ansi_text.h"

CFolderPicker::CFolderPicker() : m_browseInfo(), m_displayName(), m_path() {
    m_browseInfo.pszDisplayName = m_displayName;
    m_browseInfo.ulFlags = BIF_RETURNONLYFSDIRS;
}

BOOL CFolderPicker::Browse(HWND owner, const char* title) {
    // The A function takes the title in the ANSI code page, as it gives the path.
    static const std::string defaultTitle = AnsiText(L"选择目标文件夹");
    m_browseInfo.lpszTitle = title != nullptr ? title : defaultTitle.c_str();
    m_browseInfo.hwndOwner = owner;

    // The browser needs COM on the calling thread, in a single-threaded apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    PIDLIST_ABSOLUTE items = SHBrowseForFolderA(&m_browseInfo);
    BOOL chosen = FALSE;
    if (items != nullptr) {
        SHGetPathFromIDListA(items, m_path);
        CoTaskMemFree(items);
        chosen = TRUE;
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return chosen;
}
