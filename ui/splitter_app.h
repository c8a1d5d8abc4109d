// The application: runs the main dialog modally and ends when it closes.
#pragma once

#include "ui/win_app.h"

class CSplitterApp : public CWinApp {
public:
    CSplitterApp();
    ~CSplitterApp() override;

    // Always FALSE: the program ends when the main dialog does.
    BOOL InitInstance() override;
};
