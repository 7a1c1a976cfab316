// The main window: a frame window kept out of sight (1 by 1 pixel far below
// the screen's top) that owns the modal wizard pages and chains them through
// six private messages. Each message shows one page and posts the next
// message according to the page's result; UM_CLOSE destroys the window,
// which ends the program.
#pragma once

#include <windows.h>

#include "framework/FrameWnd.h"

class CRemovalRun;

constexpr UINT UM_MAINTENANCE = WM_USER + 1;       // page 101
constexpr UINT UM_CLOSE = WM_USER + 2;             // destroy the main window
constexpr UINT UM_UNINSTALL = WM_USER + 3;         // page 103
constexpr UINT UM_SUCCESS = WM_USER + 4;           // page 104, then the self-deletion
constexpr UINT UM_FAILURE = WM_USER + 5;           // beep, page 105
constexpr UINT UM_ACTION_REQUIRED = WM_USER + 22;  // beep, page 102

// Result of page 105 that asks for another removal.
constexpr INT_PTR TryAgainResult = 3;

class CMainFrame : public CFrameWnd {
public:
    // Loads the banner texts and creates the page brush. The removal runs
    // for `run`, and the wizard's notes go to its log.
    explicit CMainFrame(CRemovalRun& run);

    // Shows "Internal Error #005" when the frame cannot be made.
    BOOL LoadFrame(UINT resourceId, DWORD style, HWND parent, void* context) override;
    // Records whether Visual Studio is installed, then creates the window;
    // shows "Internal Error #004" when that fails.
    BOOL Create(const wchar_t* className, const wchar_t* title, DWORD style, const RECT& rect, HWND parent,
                const wchar_t* menuName, DWORD exStyle, void* context) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // WM_CREATE: out of sight, the frame's own creation handling, then
    // UM_MAINTENANCE.
    int OnCreateMainFrame(WPARAM wParam, LPARAM lParam);
    void OnMaintenance();
    void OnActionRequired();
    void OnUninstall();
    void OnSuccess();
    void OnFailure();
    void OnCloseWizard();
    void OnCloseRequest();
    // After page 101 or 102 was left with Next: page 102 while an
    // application runs, else the removal page or the repair launch.
    void ContinueAfterChoice();
    INT_PTR ShowPage(int templateId, DLGPROC procedure, LPARAM parameter = 0);
    void Post(UINT message);

    CRemovalRun& run_;
};

// Shows one of the fixed start-up failure messages ("Internal Error #00n")
// without owner, captioned "Install Error".
void ShowInternalError(const wchar_t* text);
