#include "wizard/UninstallPage.h"

#include <commctrl.h>

#include "app/Macros.h"
#include "removal/AssociationRestore.h"
#include "removal/FileRemoval.h"
#include "removal/RegistryCleanup.h"
#include "resources/resource.h"
#include "wizard/PageCommon.h"
#include "wizard/PageLook.h"

unsigned StartCountdown = 0;

namespace {

constexpr UINT_PTR StartTimerId = 1;
constexpr UINT StartTimerPeriodMs = 50;
constexpr int PumpLimit = 10;

void SetProgress(HWND page, int position) {
    SendDlgItemMessageW(page, ProgressBarId, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

// One step of the table: a position, then a pump and a pause in either order;
// nothing without a page.
void SetPumpPause(HWND page, int position, DWORD pauseMs) {
    if (!page) return;
    SetProgress(page, position);
    PumpMessages();
    Sleep(pauseMs);
}

void SetPausePump(HWND page, int position, DWORD pauseMs) {
    if (!page) return;
    SetProgress(page, position);
    Sleep(pauseMs);
    PumpMessages();
}

INT_PTR OnInitUninstall(HWND page) {
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(INITCOMMONCONTROLSEX);
    controls.dwICC = ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);
    PreparePage(page);
    ExpandControlText(page, IDC_HEADING);
    ExpandControlText(page, IDC_INTRO);
    SetTimer(page, StartTimerId, StartTimerPeriodMs, nullptr);
    return TRUE;
}

void OnStartTick(HWND page) {
    if (StartCountdown >= StartTicks) return;
    ++StartCountdown;
    if (StartCountdown == StartTicks) PostMessageW(page, WM_COMMAND, StartRemovalCommand, 0);
}

INT_PTR OnUninstallCommand(HWND page, WPARAM wParam) {
    if (wParam == StartRemovalCommand) {
        RunRemovalSequence(page);
        EndDialog(page, 1);
        return 1;
    }
    if (LOWORD(wParam) == IDOK) {
        // Only marks the page to end; a running sequence still completes.
        EndDialog(page, 1);
        return 1;
    }
    // Cancel, Escape and the close box (IDCANCEL) change nothing.
    return 0;
}

}  // namespace

void PumpMessages() {
    MSG message;
    for (int i = 0; i < PumpLimit; ++i) {
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) break;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void RunRemovalSequence(HWND page) {
    if (page) SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    // In a plan every step decides as in a run but changes nothing.
    SetPumpPause(page, 10, 100);
    SetPumpPause(page, 10, 100);
    RemoveInstalledFiles();
    SetPumpPause(page, 40, 300);
    RestoreFileAssociations();
    SetPumpPause(page, 60, 300);
    CleanRegistry();
    SetPumpPause(page, 70, 300);
    RemovePreviewFiles(page);
    SetPausePump(page, 100, 400);
    SetPausePump(page, 100, 400);
    SetPumpPause(page, 100, 400);
    if (page) SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

INT_PTR CALLBACK UninstallPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitUninstall(page);
        case WM_TIMER:
            OnStartTick(page);
            return 0;
        case WM_COMMAND:
            return OnUninstallCommand(page, wParam);
        default:
            return HandlePageLookMessage(page, message, wParam, lParam);
    }
}
