// Drives the system's choosers that Secantor.exe opens, the open-file dialog and the folder
// browser, from another process, as a person would pick a file or a folder in them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/ui/secantor_driver.h"

// Controls of the system's choosers.
enum : int {
    kFileNameField = 0x47C,  // a combo box whose edit field takes a typed name
    kFileTypeList = 0x470,
    kReadOnlyBox = 0x410,
    kFolderTree = 0x3741,
    kFolderTitle = 0x3742,  // the text above the folder tree
};

// A visible dialog of process `pid` holding control `itemId`, if one appears within `ms`.
HWND WaitForChooser(DWORD pid, int itemId, DWORD ms = kDefaultWaitMs);
// Whether `chooser` was closed within the default wait.
bool WaitUntilClosed(HWND chooser);

// The edit field that takes a typed file name.
HWND FileNameField(HWND fileDialog);
// The display texts of the open-file dialog's file-type list, in list order.
std::vector<std::wstring> FileTypes(HWND fileDialog);
// Types `path` (ANSI) into the file-name field, presses Open and waits until the dialog is
// gone; false when it stays.
bool ChooseFile(HWND fileDialog, const std::string& path);

// Walks the folder tree from "My Computer" down to `path` (ANSI, from a drive letter on),
// selects it, presses OK and waits until the browser is gone. False, with what failed in
// *error, when a folder is not found or the browser stays.
bool ChooseFolder(HWND browser, const std::string& path, std::string* error);

// Presses Cancel and waits until the chooser is gone.
bool CancelChooser(HWND chooser);
