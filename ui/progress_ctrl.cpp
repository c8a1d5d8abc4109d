// Progress bar messages.
#include "ui/progress_ctrl.h"

#include <commctrl.h>

HWND CProgressCtrl::Detach() {
    HWND control = m_hWnd;
    m_hWnd = nullptr;
    return control;
}

void CProgressCtrl::SetRange32(int lower, int upper) {
    SendMessageW(m_hWnd, PBM_SETRANGE32, static_cast<WPARAM>(lower), upper);
}

void CProgressCtrl::SetPos(int position) {
    SendMessageW(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}
