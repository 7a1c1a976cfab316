// The framework's window object: a C++ object attached to an existing window
// by subclassing. Its window procedure finds the object through a window
// property, hands each message to the virtual WindowProc, and forwards what
// the object does not handle to the window's original procedure. When the
// window is destroyed (WM_NCDESTROY) the object is detached and
// PostNcDestroy runs, in which an object owned by its window deletes itself.
#pragma once

#include <windows.h>

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    // The name of the object's class, for diagnostics and tests.
    virtual const wchar_t* GetRuntimeClassName() const { return L"CWnd"; }

    // Attaches the object to the window; fails when the window does not
    // exist or already has an object, or the object is attached elsewhere.
    BOOL SubclassWindow(HWND window);
    // Attaches the object to the dialog's control with the given id.
    BOOL SubclassDlgItem(UINT id, HWND parent);
    // Gives the window back its original procedure; returns the window.
    HWND UnsubclassWindow();

    // The object attached to the window, or null.
    static CWnd* FromHandlePermanent(HWND window);

    HWND GetSafeHwnd() const { return m_hWnd; }

    HWND m_hWnd = nullptr;

protected:
    // Handles one message; the default forwards it to the original procedure.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Forwards the message being handled to the original procedure.
    LRESULT Default();
    // Runs after the window is gone and the object detached.
    virtual void PostNcDestroy() {}

private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC m_originalProc = nullptr;
    CurrentMessage m_current = {0, 0, 0};
};

// The framework's static control class.
class CStatic : public CWnd {
public:
    const wchar_t* GetRuntimeClassName() const override { return L"CStatic"; }
};
