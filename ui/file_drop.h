// Files and folders dropped on a window from Explorer, as WM_DROPFILES hands them over.
// The drop's memory belongs to the receiver, who must give it back: this object does so
// when it goes, on every path of the handler.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

class CFileDrop {
public:
    explicit CFileDrop(HDROP drop) : m_hDrop(drop) {}
    ~CFileDrop();

    CFileDrop(const CFileDrop&) = delete;
    CFileDrop& operator=(const CFileDrop&) = delete;

    // The first item dropped, as the system names it; false when the drop holds none.
    bool FirstPath(std::wstring* path) const;
    // Where the items were let go, in the receiving window's client coordinates. The
    // return value of DragQueryPoint is documented and implemented with opposite meanings,
    // so it is not passed on: a drop on the title bar simply lies over no control.
    POINT Point() const;

private:
    HDROP m_hDrop;
};
