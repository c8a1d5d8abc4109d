// The application object: the one program-wide instance whose InitInstance runs the
// program. The entry point finds it through CWinApp::Get.
#pragma once

#include <windows.h>

#include <string>

class CDialog;

class CWinApp {
public:
    // A null name means the program file's name without its extension.
    explicit CWinApp(const wchar_t* appName = nullptr);
    virtual ~CWinApp();

    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program's work. Returning FALSE ends the program at once; no message loop of the
    // application's own is run either way.
    virtual BOOL InitInstance();

    // Called once by the entry point.
    int Start(HINSTANCE instance);

    static CWinApp* Get();

    HINSTANCE m_hInstance = nullptr;
    // The application's main window: the owner of dialogs run without a parent.
    CDialog* m_pMainWnd = nullptr;
    // The default caption of the application's own questions.
    std::wstring m_strAppName;
};
