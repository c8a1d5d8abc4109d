// Drives the real Secantor.exe from another process the way a person would: typing into
// fields, clicking, reading texts and answering message boxes. Every wait has a deadline
// and every message is sent with a timeout, so a stuck program fails a test, never hangs it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The dialogs' control ids, as the tests find the controls.
#include "resources/resource.h"

constexpr DWORD kDefaultWaitMs = 15000;

// Secantor.exe, which the build puts beside this test program.
std::wstring SecantorPath();
// secanto.exe, the command line, in the build's folder for it beside the dialog's.
std::wstring SecantoPath();

// Runs `program` with `arguments` in the folder `folder` (ANSI), its standard handles on NUL:
// its exit code, or ~0u when it could not be started or did not end within `ms`.
DWORD RunProgram(const std::wstring& program,
                 const std::wstring& arguments,
                 const std::string& folder,
                 DWORD ms = 60000);
// The host's path of a Windows path under Wine; empty elsewhere.
std::string HostPath(const std::string& path);
// Runs the host's program `program` (a host path) with `arguments` (host paths, quoted for a
// shell) under Wine: its exit code, or ~0u. Wine starts a host program without a handle to
// wait on, so a shell writes the code into `statusFile` (a Windows path), which is polled.
DWORD RunHostProgram(const std::string& program,
                     const std::string& arguments,
                     const std::string& statusFile,
                     DWORD ms = 60000);

// A running Secantor.exe with its main dialog on screen.
class SecantorProcess {
public:
    // Starts the program beside this test program with `folder` (ANSI) as its current
    // directory, and waits until its main dialog is visible.
    explicit SecantorProcess(const std::string& folder);
    // Ends the program if it still runs.
    ~SecantorProcess();

    SecantorProcess(const SecantorProcess&) = delete;
    SecantorProcess& operator=(const SecantorProcess&) = delete;

    HWND Dialog() const { return m_dialog; }
    HWND Item(int id) const { return GetDlgItem(m_dialog, id); }
    DWORD Id() const { return m_info.dwProcessId; }
    HANDLE Process() const { return m_info.hProcess; }
    // Seconds from the start of the process to a visible main dialog.
    double SecondsToDialog() const { return m_secondsToDialog; }

    // True when the process ended within `ms`; *exitCode gets its exit code.
    bool WaitForExit(DWORD ms, DWORD* exitCode);

private:
    PROCESS_INFORMATION m_info = {};
    HWND m_dialog = nullptr;
    double m_secondsToDialog = 0;
};

// Wide and ANSI (code page of the system) forms of a text.
std::wstring Wide(const std::string& ansi);
std::string Ansi(const std::wstring& wide);

std::wstring Text(HWND window);
void SetText(HWND window, const std::wstring& text);
// Posts a click, which returns at once even when the click opens a message box.
void Click(HWND button);
bool IsChecked(HWND button);
// Posts a key press, as typed while `window` has the focus.
void PressKey(HWND window, WORD key);
// Types a marker into the edit field `field` behind all input posted so far and waits until
// it arrives: the program has then handled that input, and a box raised by it is up. The
// field gets its text back. False when the marker never arrived.
bool WaitForInputHandled(HWND field);

// The middle of the dialog's control `id`, in the dialog's client coordinates.
POINT MiddleOf(const SecantorProcess& program, int id);
// Drops `paths` on the dialog at `at` (client coordinates), as Explorer hands a drop over,
// and returns once the program has handled it. False when the drop could not be made.
bool Drop(const SecantorProcess& program, const std::vector<std::wstring>& paths, POINT at);

int ProgressPos(HWND bar);
int ProgressHigh(HWND bar);
int ProgressLow(HWND bar);

// Polls `done` until it holds or `ms` have passed; returns its last answer.
template <class Predicate>
bool WaitUntil(Predicate done, DWORD ms = kDefaultWaitMs) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (;;) {
        if (done()) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(20);
    }
}

// A visible message box of the program under test.
struct MessageBoxView {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    HWND owner = nullptr;
    bool hasIcon = false;
    std::vector<int> buttons;  // ids of the visible buttons, ascending
};

// The first visible message box of process `pid`, if one appears within `ms`.
bool WaitForMessageBox(DWORD pid, MessageBoxView* view, DWORD ms = kDefaultWaitMs);
// Whether process `pid` shows a message box right now.
bool HasMessageBox(DWORD pid);
// Clicks the button `id` of the box and waits until the box is gone.
bool Answer(const MessageBoxView& view, int id);

// A visible top-level dialog of process `pid` with this caption, or null.
HWND FindDialog(DWORD pid, const std::wstring& caption);
