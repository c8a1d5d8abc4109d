// Driving the choosers across processes. A tree view's item texts live in the memory of the
// process that shows them, so they are read through a buffer made in that process; every
// other tree message takes only item handles.
#include "tests/ui/chooser_driver.h"

#include <commctrl.h>

namespace {

constexpr UINT kSendTimeoutMs = 5000;

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

struct Search {
    DWORD pid;
    int itemId;
    HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window) &&
        GetDlgItem(window, search->itemId) != nullptr) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The tree of the folder browser, read through a buffer in the browser's process.
struct RemoteTree {
    HWND tree;
    HANDLE process;
    char* buffer;  // a TVITEMW followed by room for its text
};

constexpr std::size_t kTextOffset = 256;
constexpr int kTextChars = MAX_PATH;
static_assert(sizeof(TVITEMW) <= kTextOffset, "the text would overwrite the item");

std::wstring ItemText(const RemoteTree& remote, HTREEITEM item) {
    TVITEMW query = {};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = reinterpret_cast<wchar_t*>(remote.buffer + kTextOffset);
    query.cchTextMax = kTextChars;
    wchar_t text[kTextChars] = {};
    if (!WriteProcessMemory(remote.process, remote.buffer, &query, sizeof query, nullptr) ||
        !Send(remote.tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.buffer)) ||
        !ReadProcessMemory(remote.process, remote.buffer + kTextOffset, text, sizeof text,
                           nullptr)) {
        return std::wstring();
    }
    text[kTextChars - 1] = L'\0';
    return text;
}

HTREEITEM Next(const RemoteTree& remote, UINT relation, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(
        Send(remote.tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// Expanding fills an item's children on demand, inside the browser.
HTREEITEM FindChild(const RemoteTree& remote,
                    HTREEITEM parent,
                    bool (*matches)(const std::wstring&, const std::wstring&),
                    const std::wstring& name) {
    Send(remote.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
    for (HTREEITEM child = Next(remote, TVGN_CHILD, parent); child != nullptr;
         child = Next(remote, TVGN_NEXT, child)) {
        if (matches(ItemText(remote, child), name)) {
            return child;
        }
    }
    return nullptr;
}

bool SameName(const std::wstring& text, const std::wstring& name) {
    return CompareStringOrdinal(text.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Drives show as a label followed by the letter in brackets: "本地磁盘 (C:)".
bool ShowsDrive(const std::wstring& text, const std::wstring& drive) {
    const std::wstring tail = L"(" + drive + L")";
    return text.size() >= tail.size() && SameName(text.substr(text.size() - tail.size()), tail);
}

std::vector<std::wstring> Split(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = path.find(L'\\', start)) != std::wstring::npos; start = at + 1) {
        if (at > start) {
            parts.push_back(path.substr(start, at - start));
        }
    }
    if (start < path.size()) {
        parts.push_back(path.substr(start));
    }
    return parts;
}

// "My Computer" is one of the top items; its name depends on the language, so it is the
// one that holds the drive.
HTREEITEM FindDrive(const RemoteTree& remote, const std::wstring& drive) {
    const HTREEITEM root = Next(remote, TVGN_ROOT, nullptr);
    Send(remote.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
    for (HTREEITEM top = Next(remote, TVGN_CHILD, root); top != nullptr;
         top = Next(remote, TVGN_NEXT, top)) {
        if (HTREEITEM found = FindChild(remote, top, ShowsDrive, drive)) {
            return found;
        }
    }
    return nullptr;
}

HTREEITEM FindFolder(const RemoteTree& remote, const std::wstring& path, std::string* error) {
    const std::vector<std::wstring> parts = Split(path);
    if (parts.empty()) {
        *error = "empty path";
        return nullptr;
    }
    HTREEITEM item = FindDrive(remote, parts[0]);
    for (std::size_t i = 1; item != nullptr && i < parts.size(); ++i) {
        HTREEITEM child = FindChild(remote, item, SameName, parts[i]);
        if (child == nullptr) {
            *error = "no folder " + Ansi(parts[i]) + " under " + Ansi(ItemText(remote, item));
        }
        item = child;
    }
    if (item == nullptr && error->empty()) {
        *error = "no drive " + Ansi(parts[0]);
    }
    return item;
}

}  // namespace

HWND WaitForChooser(DWORD pid, int itemId, DWORD ms) {
    Search search = {pid, itemId, nullptr};
    WaitUntil(
        [&] {
            EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        ms);
    return search.found;
}

bool WaitUntilClosed(HWND chooser) {
    return WaitUntil([&] { return !IsWindow(chooser) || !IsWindowVisible(chooser); });
}

std::vector<std::wstring> FileTypes(HWND fileDialog) {
    HWND list = GetDlgItem(fileDialog, kFileTypeList);
    std::vector<std::wstring> types;
    const LRESULT count = Send(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        if (Send(list, CB_GETLBTEXTLEN, i, 0) < 256) {
            Send(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        }
        types.push_back(text);
    }
    return types;
}

HWND FileNameField(HWND fileDialog) {
    // An edit inside a combo box, itself inside an extended combo box on newer systems.
    HWND field = GetDlgItem(fileDialog, kFileNameField);
    for (HWND inner; field != nullptr && (inner = GetWindow(field, GW_CHILD)) != nullptr;) {
        field = inner;
    }
    return field;
}

bool ChooseFile(HWND fileDialog, const std::string& path) {
    HWND field = FileNameField(fileDialog);
    if (field == nullptr) {
        return false;
    }
    SetText(field, Wide(path));
    Click(GetDlgItem(fileDialog, IDOK));
    return WaitUntilClosed(fileDialog);
}

bool ChooseFolder(HWND browser, const std::string& path, std::string* error) {
    error->clear();
    RemoteTree remote = {GetDlgItem(browser, kFolderTree), nullptr, nullptr};
    DWORD pid = 0;
    GetWindowThreadProcessId(remote.tree, &pid);
    remote.process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (remote.process == nullptr) {
        *error = "cannot open the browser's process";
        return false;
    }
    remote.buffer = static_cast<char*>(VirtualAllocEx(remote.process, nullptr,
                                                      kTextOffset + sizeof(wchar_t) * kTextChars,
                                                      MEM_COMMIT, PAGE_READWRITE));
    HTREEITEM folder = nullptr;
    if (remote.buffer == nullptr) {
        *error = "cannot make a buffer in the browser's process";
    } else {
        folder = FindFolder(remote, Wide(path), error);
        VirtualFreeEx(remote.process, remote.buffer, 0, MEM_RELEASE);
    }
    CloseHandle(remote.process);
    if (folder == nullptr) {
        return false;
    }
    Send(remote.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(folder));
    if (Next(remote, TVGN_CARET, nullptr) != folder) {
        *error = "the folder could not be selected";
        return false;
    }
    Click(GetDlgItem(browser, IDOK));
    if (!WaitUntilClosed(browser)) {
        *error = "the browser stayed open after OK";
        return false;
    }
    return true;
}

bool CancelChooser(HWND chooser) {
    Click(GetDlgItem(chooser, IDCANCEL));
    return WaitUntilClosed(chooser);
}
