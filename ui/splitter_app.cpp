// The application object and the program-wide About dialog.
#include "ui/splitter_app.h"

#include "ui/about_dlg.h"
#include "ui/splitter_dlg.h"

// Defined together so that the application is built first and the About dialog destroyed
// first: the order of globals holds only within one file.
CSplitterApp theApp;
CAboutDlg g_aboutDlg;

CSplitterApp::CSplitterApp() : CWinApp(nullptr) {}

CSplitterApp::~CSplitterApp() = default;

BOOL CSplitterApp::InitInstance() {
    CSplitterDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
