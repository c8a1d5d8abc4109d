// A progress bar on a dialog, reached through its window handle.
#pragma once

#include <windows.h>

class CProgressCtrl {
public:
    void Attach(HWND control) { m_hWnd = control; }
    HWND Detach();

    // A 32-bit range, so that counts above 65535 keep their meaning.
    void SetRange32(int lower, int upper);
    void SetPos(int position);

private:
    HWND m_hWnd = nullptr;
};
