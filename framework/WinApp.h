// The application object of the framework: one static instance per program,
// with an initialisation override, a message loop and an exit override whose
// result is the process exit code.
#pragma once

#include <windows.h>

#include "framework/String.h"

// String resource that holds the application title, the caption of AfxMessageBox.
constexpr UINT IDS_APPLICATION_TITLE = 57344;

class CWinApp {
public:
    CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // Returns TRUE to run the message loop, FALSE to end the program at once.
    virtual BOOL InitInstance();
    // Called when the program ends, after the loop or after a failed
    // InitInstance; its result is the process exit code.
    virtual int ExitInstance();
    // Runs the message loop until WM_QUIT, then returns ExitInstance().
    virtual int Run();

    HWND m_hMainWnd = nullptr;
};

// The one application object, or null before it is constructed.
CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// The module whose resources the program loads (the executable itself).
HINSTANCE AfxGetResourceHandle();
// The application title (string resource 57344), loaded at first use.
const wchar_t* AfxGetAppName();

// The owner of the application's message boxes: the main window's last
// active pop-up (the open page, or the main window itself), whichever window
// happens to be active, so that the page is disabled while the box is open.
// Before there is a main window, the thread's active window.
HWND AfxGetMessageBoxOwner();

// A message box with the application title as caption, owned by
// AfxGetMessageBoxOwner().
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK);

// The framework's program body: InitInstance, then Run or ExitInstance.
int AfxWinMain();
