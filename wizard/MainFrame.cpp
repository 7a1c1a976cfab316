#include "wizard/MainFrame.h"

#include "framework/WinApp.h"
#include "removal/ExitCodes.h"
#include "removal/RemovalRun.h"
#include "removal/SelfDeletion.h"
#include "removal/VisualStudioAddin.h"
#include "resources/resource.h"
#include "wizard/ActionRequiredPage.h"
#include "wizard/MaintenancePage.h"
#include "wizard/OutcomePages.h"
#include "wizard/PageLook.h"
#include "wizard/RepairLaunch.h"
#include "wizard/RunningApps.h"
#include "wizard/UninstallPage.h"
#include "wizard/UninstallRecord.h"

namespace {

// The hidden window's vertical position when the work area can be read:
// below the bottom of any ordinary screen.
constexpr int HiddenWindowTop = 2048;

// A log written by the wizard says why it holds no removal.
const wchar_t* const CancelledNote = L"The uninstall was cancelled: nothing was changed.";

// The system keeps a window with a caption at its smallest track size, so a
// window placed inside a tall screen (a 2160-pixel display, or a portrait
// one) would show its caption there. Such a position moves just below the
// bottom of the virtual screen.
int OutOfSightTop(int top) {
    const int virtualBottom = GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    return top < virtualBottom ? virtualBottom : top;
}

}  // namespace

void ShowInternalError(const wchar_t* text) {
    MessageBoxW(nullptr, text, L"Install Error", MB_ICONERROR);
}

CMainFrame::CMainFrame(CRemovalRun& run) : run_(run) {
    CreateBannerResources();
}

BOOL CMainFrame::LoadFrame(UINT resourceId, DWORD style, HWND parent, void* context) {
    if (!CFrameWnd::LoadFrame(resourceId, style, parent, context)) {
        ShowInternalError(L"Internal Error #005");
        return FALSE;
    }
    return TRUE;
}

BOOL CMainFrame::Create(const wchar_t* className, const wchar_t* title, DWORD style, const RECT& rect, HWND parent,
                        const wchar_t* menuName, DWORD exStyle, void* context) {
    m_strTitle = title;
    UninstallRecord.VisualStudioPresent = IsAnyVisualStudioInstalled(UninstallRecord.Is64BitWindows);
    if (!CFrameWnd::Create(className, title, style, rect, parent, menuName, exStyle, context)) {
        ShowInternalError(L"Internal Error #004");
        return FALSE;
    }
    return TRUE;
}

LRESULT CMainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreateMainFrame(wParam, lParam);
        case WM_ERASEBKGND:
            return 1;
        case WM_CLOSE:
            OnCloseRequest();
            return 0;
        case UM_MAINTENANCE:
            OnMaintenance();
            return 0;
        case UM_CLOSE:
            OnCloseWizard();
            return 0;
        case UM_UNINSTALL:
            OnUninstall();
            return 0;
        case UM_SUCCESS:
            OnSuccess();
            return 0;
        case UM_FAILURE:
            OnFailure();
            return 0;
        case UM_ACTION_REQUIRED:
            OnActionRequired();
            return 0;
        default:
            return CFrameWnd::WindowProc(message, wParam, lParam);
    }
}

// The wizard ends only through its pages. A close request from outside
// (another program, Alt+F4 between two pages) goes to the page that is open,
// which answers it as its own close box does; destroying this window would
// take the open page with it, in the middle of a removal perhaps, and skip
// the success page and the self-deletion.
void CMainFrame::OnCloseRequest() {
    HWND page = GetLastActivePopup(m_hWnd);
    if (page && page != m_hWnd) PostMessageW(page, WM_CLOSE, 0, 0);
}

int CMainFrame::OnCreateMainFrame(WPARAM wParam, LPARAM lParam) {
    RECT workArea;
    const int top =
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0) ? HiddenWindowTop : GetSystemMetrics(SM_CYSCREEN);
    MoveWindow(m_hWnd, 0, OutOfSightTop(top), 1, 1, FALSE);
    if (CFrameWnd::WindowProc(WM_CREATE, wParam, lParam) == -1) {
        ShowInternalError(L"Internal Error #002");
        return -1;
    }
    Post(UM_MAINTENANCE);
    return 0;
}

void CMainFrame::Post(UINT message) {
    PostMessageW(m_hWnd, message, 0, 0);
}

INT_PTR CMainFrame::ShowPage(int templateId, DLGPROC procedure, LPARAM parameter) {
    return DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(templateId), m_hWnd, procedure, parameter);
}

void CMainFrame::OnMaintenance() {
    // Only a choice the user made goes on. A page that cannot be made (-1)
    // ends the program like Cancel: going on would uninstall without the
    // user ever having chosen to.
    const INT_PTR result = ShowPage(IDD_MAINTENANCE, MaintenancePageProc);
    if (result == 0 || result == -1) {
        run_.Note(result == 0 ? CancelledNote : L"The first page could not be shown: nothing was changed.");
        Post(UM_CLOSE);
        return;
    }
    ContinueAfterChoice();
}

void CMainFrame::OnActionRequired() {
    MessageBeep(0xFFFFFFFF);
    if (ShowPage(IDD_ACTION_REQUIRED, ActionRequiredPageProc) == 1) {
        ContinueAfterChoice();
    } else {
        run_.Note(CancelledNote);
        Post(UM_CLOSE);
    }
}

void CMainFrame::ContinueAfterChoice() {
    if (IsVisualStudioRunning() || IsProductRunning()) {
        Post(UM_ACTION_REQUIRED);
    } else if (UninstallRecord.RepairChosen == 0) {
        Post(UM_UNINSTALL);
    } else {
        run_.Note(LaunchRepair() ? L"The repair program was started: nothing was removed."
                                 : L"The repair program could not be started: nothing was removed.");
        Post(UM_CLOSE);
    }
}

void CMainFrame::OnUninstall() {
    Post(ShowPage(IDD_UNINSTALLING, UninstallPageProc, reinterpret_cast<LPARAM>(&run_)) == 1 ? UM_SUCCESS : UM_FAILURE);
}

void CMainFrame::OnSuccess() {
    ShowPage(IDD_SUCCESS, SuccessPageProc);
    StartSelfDeletion();
    Post(UM_CLOSE);
}

void CMainFrame::OnFailure() {
    MessageBeep(0xFFFFFFFF);
    if (ShowPage(IDD_ERROR, ErrorPageProc) == TryAgainResult) {
        Post(UM_UNINSTALL);
        return;
    }
    run_.Note(L"The error page was closed with Finish.");
    UninstallRecord.ExitCode = ExitWizardFailed;
    Post(UM_CLOSE);
}

void CMainFrame::OnCloseWizard() {
    DestroyWindow(m_hWnd);
}
