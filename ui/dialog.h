// A dialog built from a template and run modally, whose message map binds control
// notifications and private messages to member handlers.
//
// A derived class lists its entries with OnClicked and OnMessage and chains to its base's
// map; entries are searched from the most derived map down. The base map sends IDOK to
// OnOK and IDCANCEL (the Esc key and the close box included) to OnCancel.
#pragma once

#include <windows.h>

#include <cstddef>

class CDialog {
public:
    using CommandHandler = void (CDialog::*)();
    using MessageHandler = LRESULT (CDialog::*)(WPARAM, LPARAM);

    struct MessageMapEntry {
        UINT message;       // WM_COMMAND for a control notification
        UINT controlId;     // WM_COMMAND only
        UINT notification;  // WM_COMMAND only
        CommandHandler onCommand;
        MessageHandler onMessage;
    };

    struct MessageMap {
        const MessageMap* base;
        const MessageMapEntry* entries;
        std::size_t count;
    };

    // With no parent, the application's main window becomes the owner when the dialog runs.
    CDialog(UINT templateId, HWND parent);
    virtual ~CDialog();

    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the dialog, runs it until EndDialog and returns EndDialog's result, or -1 when
    // the dialog cannot be created.
    INT_PTR DoModal();

    HWND GetSafeHwnd() const { return m_hWnd; }

protected:
    virtual const MessageMap* GetMessageMap() const;
    // Called when the window and its controls exist; TRUE lets the system set the focus.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    void EndDialog(INT_PTR result);

    template <class T>
    static MessageMapEntry OnClicked(UINT controlId, void (T::*handler)()) {
        return {WM_COMMAND, controlId, BN_CLICKED, static_cast<CommandHandler>(handler), nullptr};
    }

    template <class T>
    static MessageMapEntry OnMessage(UINT message, LRESULT (T::*handler)(WPARAM, LPARAM)) {
        return {message, 0, 0, nullptr, static_cast<MessageHandler>(handler)};
    }

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // True when an entry handled the message; *result is then the message's result.
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Over the owner when there is one, else over the screen's work area.
    void CenterWindow();

    UINT m_nTemplateId;
    HWND m_hWndParent;
};
