// The system's folder browser, for the source folder of a join and for every target. A
// handler makes one for each click, so nothing is remembered from one browse to the next.
#pragma once

#include <windows.h>
#include <shlobj.h>

class CFolderPicker {
public:
    // Only folders of the file system can be confirmed; the browser opens at the top of the
    // shell's namespace with nothing preselected.
    CFolderPicker();

    // m_browseInfo points into the picker itself.
    CFolderPicker(const CFolderPicker&) = delete;
    CFolderPicker& operator=(const CFolderPicker&) = delete;

    // Runs the browser modally over `owner`, with `title` (ANSI) above the folder tree, or
    // "选择目标文件夹" when it is null. TRUE when a folder was confirmed, its path then in
    // m_path; FALSE when the user cancelled, and m_path stays as it was.
    BOOL Browse(HWND owner, const char* title);

    BROWSEINFOA m_browseInfo;
    // Filled by the browser, never read.
    char m_displayName[MAX_PATH];
    // The confirmed folder in the ANSI code page.
    char m_path[MAX_PATH];
};
