// Reading a dropped item and its place from the drop, and handing the drop back.
#include "ui/file_drop.h"

CFileDrop::~CFileDrop() {
    DragFinish(m_hDrop);
}

bool CFileDrop::FirstPath(std::wstring* path) const {
    if (DragQueryFileW(m_hDrop, 0xFFFFFFFF, nullptr, 0) == 0) {
        return false;
    }
    // The length leaves out the terminating zero, which the copy needs room for.
    const UINT length = DragQueryFileW(m_hDrop, 0, nullptr, 0);
    if (length == 0) {
        return false;
    }
    std::wstring name(static_cast<std::size_t>(length) + 1, L'\0');
    const UINT copied = DragQueryFileW(m_hDrop, 0, &name[0], length + 1);
    if (copied == 0) {
        return false;
    }
    name.resize(wcsnlen(name.c_str(), name.size()));
    *path = name;
    return true;
}

POINT CFileDrop::Point() const {
    POINT at = {};
    DragQueryPoint(m_hDrop, &at);
    return at;
}
