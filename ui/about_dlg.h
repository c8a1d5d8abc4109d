// The About dialog: a short description of the tool and its version.
#pragma once

#include <windows.h>

#include "ui/dialog.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(HWND parent = nullptr);
    ~CAboutDlg() override;

protected:
    const MessageMap* GetMessageMap() const override;
    // Runs at every opening, so text typed into the box last time is gone.
    BOOL OnInitDialog() override;
};

// The one About dialog, run again at every press of the About button.
extern CAboutDlg g_aboutDlg;
