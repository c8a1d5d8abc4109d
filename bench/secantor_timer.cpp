// Times one split or join made from Secantor.exe's dialog, for bench/wine and the test of
// the Windows zip. It starts the program beside itself, chooses the mode, types the source,
// the target and (for a split) the piece size into the fields, clicks start and waits for
// the result box; then answers the box and closes the program.
//
//   secantor_timer split SOURCE TARGET PIECE_MB FOLDER
//   secantor_timer join PIECES_FOLDER TARGET FOLDER
//
// FOLDER is the program's current folder (its settings file lands there). Prints
// "seconds S shown N": S from the click to the visible success box, N the count on the
// progress bar while the box is up, which the status line must show too. Exits 1 when the
// job did not end in success or the two disagree.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <stdexcept>
#include <string>

#include "tests/ui/secantor_driver.h"
#include "ui/dialog_texts.h"

namespace {

constexpr DWORD kJobWaitMs = 600000;

// A visible dialog of the program other than its main one: the result box. Found by class,
// which costs the server one list of two windows or so, so that frequent polls do not take
// the time they measure.
bool HasResultBox(const SecantorProcess& program) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr) {
        DWORD pid = 0;
        if (window != program.Dialog() && GetWindowThreadProcessId(window, &pid) != 0 &&
            pid == program.Id() && IsWindowVisible(window)) {
            return true;
        }
    }
    return false;
}

// `pieceMb` empty: a join.
int Run(const std::string& source,
        const std::string& target,
        const std::string& pieceMb,
        const std::string& folder) {
    SecantorProcess program(folder);
    if (pieceMb.empty()) {
        Click(program.Item(IDC_MODE_JOIN));
        if (!WaitUntil([&] { return Text(program.Item(IDC_START)) == kJoinStart; })) {
            std::fprintf(stderr, "secantor_timer: the dialog did not change to joining\n");
            return 1;
        }
    } else {
        SetText(program.Item(IDC_PIECE_SIZE), Wide(pieceMb));
    }
    SetText(program.Item(IDC_SOURCE_PATH), Wide(source));
    SetText(program.Item(IDC_TARGET_PATH), Wide(target));

    LARGE_INTEGER frequency;
    LARGE_INTEGER started;
    LARGE_INTEGER seen;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    Click(program.Item(IDC_START));
    // Polled every 5 ms, which is well below the spread of the figure.
    const ULONGLONG deadline = GetTickCount64() + kJobWaitMs;
    while (!HasResultBox(program)) {
        if (GetTickCount64() >= deadline) {
            std::fprintf(stderr, "secantor_timer: no result box\n");
            return 1;
        }
        Sleep(5);
    }
    QueryPerformanceCounter(&seen);
    const double seconds = static_cast<double>(seen.QuadPart - started.QuadPart) /
                           static_cast<double>(frequency.QuadPart);

    MessageBoxView box;
    if (!WaitForMessageBox(program.Id(), &box)) {
        std::fprintf(stderr, "secantor_timer: the result box went away\n");
        return 1;
    }
    const int shown = ProgressPos(program.Item(IDC_PROGRESS));
    wchar_t status[64];
    std::swprintf(status, sizeof status / sizeof status[0], kFinishedStatus, shown);
    const bool statusAgrees = Text(program.Item(IDC_STATUS)) == status;
    const bool succeeded = box.text == kSuccessText;
    if (!Answer(box, IDOK)) {
        std::fprintf(stderr, "secantor_timer: the result box did not close\n");
        return 1;
    }
    Click(program.Item(IDCANCEL));
    DWORD exitCode = 1;
    if (!program.WaitForExit(kDefaultWaitMs, &exitCode) || exitCode != 0) {
        std::fprintf(stderr, "secantor_timer: the program did not end cleanly\n");
        return 1;
    }
    if (!succeeded) {
        std::fprintf(stderr, "secantor_timer: the job ended with \"%s\"\n", Ansi(box.text).c_str());
        return 1;
    }
    if (!statusAgrees) {
        std::fprintf(stderr, "secantor_timer: the status line does not show %d\n", shown);
        return 1;
    }
    std::printf("seconds %.6f shown %d\n", seconds, shown);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (!(mode == "split" && argc == 6) && !(mode == "join" && argc == 5)) {
        std::fprintf(stderr,
                     "usage: secantor_timer split SOURCE TARGET PIECE_MB FOLDER\n"
                     "       secantor_timer join PIECES_FOLDER TARGET FOLDER\n");
        return 2;
    }
    try {
        return mode == "split" ? Run(argv[2], argv[3], argv[4], argv[5])
                               : Run(argv[2], argv[3], "", argv[4]);
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "secantor_timer: %s\n", error.what());
        return 1;
    }
}
