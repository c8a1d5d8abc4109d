// Finding and driving Secantor.exe's windows across processes.
#include "tests/ui/secantor_driver.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

// Start-up of a fresh Wine process can take several seconds on a loaded machine.
constexpr DWORD kStartWaitMs = 60000;
constexpr UINT kSendTimeoutMs = 5000;
constexpr int kMessageBoxTextId = 0xFFFF;

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &result)) {
        throw std::runtime_error("the program did not answer a message");
    }
    return static_cast<LRESULT>(result);
}

// The caption of a top-level window, read without sending it a message.
std::wstring Caption(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

struct Search {
    DWORD pid;
    const std::wstring* caption;  // null: a message box
    HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window) || ClassName(window) != L"#32770") {
        return TRUE;
    }
    const bool isMessageBox = GetDlgItem(window, kMessageBoxTextId) != nullptr;
    if (search->caption == nullptr ? isMessageBox
                                   : !isMessageBox && Caption(window) == *search->caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND Find(DWORD pid, const std::wstring* caption) {
    Search search = {pid, caption, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A box without an icon still has its icon control, only with no image in it.
BOOL CALLBACK FindIcon(HWND child, LPARAM param) {
    if (!IsWindowVisible(child) || ClassName(child) != L"Static" ||
        (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
        return TRUE;
    }
    DWORD_PTR icon = 0;
    SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &icon);
    *reinterpret_cast<bool*>(param) = icon != 0;
    return FALSE;
}

// Without a window manager Wine waits two seconds for every hidden top-level window to be
// withdrawn (each closed message box, and the dialog at its end). Windows that Wine does
// not hand to a window manager are hidden at once; this changes nothing the program sees.
void LeaveWindowsUnmanaged() {
    static const bool done = [] {
        return RegSetKeyValueW(HKEY_CURRENT_USER,
                               L"Software\\Wine\\AppDefaults\\Secantor.exe\\X11 Driver", L"Managed",
                               REG_SZ, L"N", 2 * sizeof(wchar_t)) == ERROR_SUCCESS;
    }();
    (void)done;
}

// Starts `program` in `folder` (ANSI) with its standard handles on NUL.
bool StartWithoutConsole(const std::wstring& program,
                         std::wstring commandLine,
                         const std::string& folder,
                         PROCESS_INFORMATION* info) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nul =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    const BOOL created = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, Wide(folder).c_str(), &startup, info);
    CloseHandle(nul);
    return created != 0;
}

}  // namespace

std::wstring SecantorPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring program(path, length);
    return program.substr(0, program.find_last_of(L'\\') + 1) + L"Secantor.exe";
}

std::wstring SecantoPath() {
    const std::wstring dialog = SecantorPath();
    const std::wstring folder = dialog.substr(0, dialog.find_last_of(L'\\'));
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"cli\\secanto.exe";
}

DWORD RunProgram(const std::wstring& program,
                 const std::wstring& arguments,
                 const std::string& folder,
                 DWORD ms) {
    PROCESS_INFORMATION info = {};
    if (!StartWithoutConsole(program, L"\"" + program + L"\" " + arguments, folder, &info)) {
        return ~DWORD{0};
    }
    DWORD exitCode = ~DWORD{0};
    if (WaitForSingleObject(info.hProcess, ms) == WAIT_OBJECT_0) {
        GetExitCodeProcess(info.hProcess, &exitCode);
    } else {
        TerminateProcess(info.hProcess, 1);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return exitCode;
}

std::string HostPath(const std::string& path) {
    using UnixName = char*(__cdecl*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* name = unixName != nullptr ? unixName(Wide(path).c_str()) : nullptr;
    const std::string host = name != nullptr ? name : "";
    if (name != nullptr) {
        HeapFree(GetProcessHeap(), 0, name);
    }
    return host;
}

DWORD RunHostProgram(const std::string& program,
                     const std::string& arguments,
                     const std::string& statusFile,
                     DWORD ms) {
    DeleteFileA(statusFile.c_str());
    const std::string status = HostPath(statusFile);
    if (status.empty()) {
        return ~DWORD{0};
    }
    // Written under a temporary name, so that a half-written code is never read.
    std::wstring commandLine =
        L"/bin/sh -c \"" +
        Wide("'" + program + "' " + arguments + " </dev/null >/dev/null 2>&1; echo $? >'" + status +
             ".tmp'; mv '" + status + ".tmp' '" + status + "'") +
        L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return ~DWORD{0};
    }
    if (info.hProcess != nullptr) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    DWORD code = ~DWORD{0};
    WaitUntil(
        [&] {
            HANDLE file = CreateFileA(statusFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                return false;
            }
            char text[16] = {};
            DWORD got = 0;
            ReadFile(file, text, sizeof text - 1, &got, nullptr);
            CloseHandle(file);
            code = static_cast<DWORD>(std::strtoul(text, nullptr, 10));
            return true;
        },
        ms);
    return code;
}

SecantorProcess::SecantorProcess(const std::string& folder) {
    LeaveWindowsUnmanaged();
    const std::wstring program = SecantorPath();
    const ULONGLONG started = GetTickCount64();
    if (!StartWithoutConsole(program, L"\"" + program + L"\"", folder, &m_info)) {
        throw std::runtime_error("cannot start Secantor.exe");
    }
    const std::wstring caption = L"Secantor";
    WaitUntil([&] { return (m_dialog = FindDialog(Id(), caption)) != nullptr; }, kStartWaitMs);
    m_secondsToDialog = static_cast<double>(GetTickCount64() - started) / 1000.0;
    if (m_dialog == nullptr) {
        TerminateProcess(m_info.hProcess, 1);
        throw std::runtime_error("Secantor.exe showed no dialog");
    }
}

SecantorProcess::~SecantorProcess() {
    if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_info.hProcess, 1);
        WaitForSingleObject(m_info.hProcess, 5000);
    }
    CloseHandle(m_info.hThread);
    CloseHandle(m_info.hProcess);
}

bool SecantorProcess::WaitForExit(DWORD ms, DWORD* exitCode) {
    if (WaitForSingleObject(m_info.hProcess, ms) != WAIT_OBJECT_0) {
        return false;
    }
    GetExitCodeProcess(m_info.hProcess, exitCode);
    return true;
}

std::wstring Wide(const std::string& ansi) {
    const int length =
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], length);
    return wide;
}

std::string Ansi(const std::wstring& wide) {
    const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0], length,
                        nullptr, nullptr);
    return ansi;
}

std::wstring Text(HWND window) {
    wchar_t text[1024] = {};
    Send(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

void SetText(HWND window, const std::wstring& text) {
    Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

bool IsChecked(HWND button) {
    return Send(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void PressKey(HWND window, WORD key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
}

bool WaitForInputHandled(HWND field) {
    const std::wstring text = Text(field);
    // Posted, not sent, so that both come after the input in question; the marker replaces
    // the whole text, whatever the caret's place.
    PostMessageW(field, EM_SETSEL, 0, -1);
    PostMessageW(field, WM_CHAR, L'x', 1);
    const bool arrived = WaitUntil([&] { return Text(field) == L"x"; });
    SetText(field, text);
    return arrived;
}

POINT MiddleOf(const SecantorProcess& program, int id) {
    RECT area = {};
    GetWindowRect(program.Item(id), &area);
    MapWindowPoints(HWND_DESKTOP, program.Dialog(), reinterpret_cast<POINT*>(&area), 2);
    return {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}

bool Drop(const SecantorProcess& program, const std::vector<std::wstring>& paths, POINT at) {
    // An HDROP is memory of the receiving process: Explorer's drop is made inside it. The
    // handle of a GMEM_FIXED block is its address, so the same layout written into the
    // program is read by DragQueryFileW and DragQueryPoint as a real drop is. The message is
    // sent, not posted, so the handler has finished when it returns. DragFinish cannot free
    // memory that the program's heap did not give out; Wine checks the address against the
    // heap and leaves it alone, and the test then frees the page. (Driving the handler inside
    // this process instead would test a copy of the dialog, not the program.)
    DROPFILES header = {};
    header.pFiles = sizeof header;
    header.pt = at;
    header.fNC = FALSE;
    header.fWide = TRUE;
    std::vector<BYTE> block(sizeof header);
    std::memcpy(block.data(), &header, sizeof header);
    for (const std::wstring& path : paths) {
        const auto* bytes = reinterpret_cast<const BYTE*>(path.c_str());
        block.insert(block.end(), bytes, bytes + (path.size() + 1) * sizeof(wchar_t));
    }
    block.insert(block.end(), sizeof(wchar_t), 0);  // an empty name ends the list
    void* remote = VirtualAllocEx(program.Process(), nullptr, block.size(),
                                  MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote == nullptr) {
        return false;
    }
    DWORD_PTR ignored = 0;
    const bool handled =
        WriteProcessMemory(program.Process(), remote, block.data(), block.size(), nullptr) &&
        SendMessageTimeoutW(program.Dialog(), WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0,
                            SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
    // A drop that timed out may still be read later: its page then stays.
    if (handled) {
        VirtualFreeEx(program.Process(), remote, 0, MEM_RELEASE);
    }
    return handled;
}

int ProgressPos(HWND bar) {
    return static_cast<int>(Send(bar, PBM_GETPOS, 0, 0));
}

int ProgressHigh(HWND bar) {
    return static_cast<int>(Send(bar, PBM_GETRANGE, FALSE, 0));
}

int ProgressLow(HWND bar) {
    return static_cast<int>(Send(bar, PBM_GETRANGE, TRUE, 0));
}

bool WaitForMessageBox(DWORD pid, MessageBoxView* view, DWORD ms) {
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = Find(pid, nullptr)) != nullptr; }, ms)) {
        return false;
    }
    *view = MessageBoxView();
    view->window = box;
    view->caption = Caption(box);
    view->text = Text(GetDlgItem(box, kMessageBoxTextId));
    view->owner = GetWindow(box, GW_OWNER);
    EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&view->hasIcon));
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
        HWND button = GetDlgItem(box, id);
        if (button != nullptr && IsWindowVisible(button)) {
            view->buttons.push_back(id);
        }
    }
    return true;
}

bool HasMessageBox(DWORD pid) {
    return Find(pid, nullptr) != nullptr;
}

bool Answer(const MessageBoxView& view, int id) {
    Click(GetDlgItem(view.window, id));
    // Input posted while a box is being torn down can be lost: wait until it is gone.
    return WaitUntil([&] { return !IsWindow(view.window) || !IsWindowVisible(view.window); });
}

HWND FindDialog(DWORD pid, const std::wstring& caption) {
    return Find(pid, &caption);
}
