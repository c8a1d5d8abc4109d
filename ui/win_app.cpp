// The application object and the program's entry point.
#include "ui/win_app.h"

#include <commctrl.h>

namespace {

CWinApp* g_pApp = nullptr;

std::wstring ProgramBaseName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    const std::size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) {
        name.erase(0, slash + 1);
    }
    const std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) {
        name.erase(dot);
    }
    return name;
}

}  // namespace

CWinApp::CWinApp(const wchar_t* appName) {
    if (appName != nullptr) {
        m_strAppName = appName;
    }
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this) {
        g_pApp = nullptr;
    }
}

BOOL CWinApp::InitInstance() {
    return FALSE;
}

int CWinApp::Start(HINSTANCE instance) {
    m_hInstance = instance;
    if (m_strAppName.empty()) {
        m_strAppName = ProgramBaseName();
    }
    // Dialog templates name the progress bar's class, which must exist before they load.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    InitInstance();
    return 0;
}

CWinApp* CWinApp::Get() {
    return g_pApp;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    CWinApp* app = CWinApp::Get();
    return app != nullptr ? app->Start(instance) : 1;
}
