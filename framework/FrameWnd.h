// The framework's frame window: a top-level window made from one resource id
// (title, icon and menu), whose messages reach a virtual window procedure of
// the object that owns it. When the application's main window goes away the
// message loop of CWinApp::Run ends.
#pragma once

#include <windows.h>

#include "framework/String.h"

class CFrameWnd {
public:
    CFrameWnd() = default;
    CFrameWnd(const CFrameWnd&) = delete;
    CFrameWnd& operator=(const CFrameWnd&) = delete;
    virtual ~CFrameWnd();

    // Loads the title (the text before the first line feed of string
    // resource `resourceId`), registers or reuses the frame window class with
    // icon `resourceId`, and calls Create with menu resource `resourceId` and
    // the default rectangle. Returns FALSE when the window was not made.
    virtual BOOL LoadFrame(UINT resourceId, DWORD style, HWND parent, void* context);

    // Loads the menu resource (which must exist) and creates the window.
    // `context` is passed on as the creation parameter.
    virtual BOOL Create(const wchar_t* className, const wchar_t* title, DWORD style, const RECT& rect, HWND parent,
                        const wchar_t* menuName, DWORD exStyle, void* context);

    HWND GetSafeHwnd() const { return m_hWnd; }

    HWND m_hWnd = nullptr;
    UINT m_nIDHelp = 0;
    HMENU m_hMenuDefault = nullptr;
    CString m_strTitle;

    // CW_USEDEFAULT for position and size: the system chooses.
    static const RECT rectDefault;

    // The name of the frame window class for an icon resource, registered
    // at first use and reused afterwards; empty when it cannot be registered.
    static CString RegisterFrameClass(UINT iconId);

protected:
    // Every message of the window; the default hands it to DefWindowProcW
    // (WM_CREATE through OnCreate, WM_NCDESTROY through OnNcDestroy).
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // The frame's creation handling: 0 to go on, -1 to fail the creation.
    virtual int OnCreate(CREATESTRUCTW* create);

    // The last message: detaches the object and, for the application's main
    // window, ends the message loop.
    virtual void OnNcDestroy();

private:
    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
