#include "wizard/UninstallPage.h"

#include <commctrl.h>

#include "removal/Removal.h"
#include "removal/RemovalRun.h"
#include "resources/resource.h"
#include "wizard/Macros.h"
#include "wizard/PageCommon.h"
#include "wizard/PageLook.h"
#include "wizard/UninstallRecord.h"

unsigned StartCountdown = 0;

namespace {

constexpr UINT_PTR StartTimerId = 1;
constexpr UINT StartTimerPeriodMs = 50;
constexpr int PumpLimit = 10;

// The run page 103 was opened for (DialogBoxParamW's parameter); a page
// opened without one acts without a log.
CRemovalRun* PageRun = nullptr;

// The page's side of the removal: its progress bar, the pending messages
// and the pauses between the steps.
class CPageProgress : public IRemovalProgress {
public:
    explicit CPageProgress(HWND page) : page_(page) {}
    void SetPosition(int position) override {
        SendDlgItemMessageW(page_, ProgressBarId, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }
    void Pump() override { PumpMessages(); }
    void Pause(DWORD milliseconds) override { Sleep(milliseconds); }

private:
    HWND page_;
};

void RunPageRemoval(HWND page) {
    static CRemovalRun withoutLog;
    CPageProgress progress(page);
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    RunRemoval(RemovalInputOf(UninstallRecord), PageRun ? *PageRun : withoutLog, &progress);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

INT_PTR OnInitUninstall(HWND page, LPARAM run) {
    PageRun = reinterpret_cast<CRemovalRun*>(run);
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
        RunPageRemoval(page);
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

INT_PTR CALLBACK UninstallPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitUninstall(page, lParam);
        case WM_TIMER:
            OnStartTick(page);
            return 0;
        case WM_COMMAND:
            return OnUninstallCommand(page, wParam);
        default:
            return HandlePageLookMessage(page, message, wParam, lParam);
    }
}
