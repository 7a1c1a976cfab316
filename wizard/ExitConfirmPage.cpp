#include "wizard/ExitConfirmPage.h"

#include "framework/WinApp.h"
#include "imaging/PictureControl.h"
#include "resources/resource.h"
#include "wizard/Macros.h"
#include "wizard/PageCommon.h"
#include "wizard/PageLook.h"
#include "wizard/ScreenResources.h"

namespace {

// No centring, no hiding and no title expansion here: the page opens at its
// template position relative to the page that asks.
INT_PTR OnInitExitConfirm(HWND page) {
    EnlargeWindow(page, true);
    ScaleChildControls(page);
    ExpandControlText(page, IDC_INTRO);
    AttachPictureControl(page, IDC_PICTURE, PageBackground);
    EnumChildWindows(page, SetControlFont, reinterpret_cast<LPARAM>(BodyFont.Get()));
    return TRUE;
}

INT_PTR OnExitConfirmCommand(HWND page, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(page, 1);
            return 1;
        case IDCANCEL:
            EndDialog(page, 0);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

INT_PTR CALLBACK ExitConfirmPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitExitConfirm(page);
        case WM_COMMAND:
            return OnExitConfirmCommand(page, wParam);
        default:
            return HandlePageLookMessage(page, message, wParam, lParam);
    }
}

INT_PTR ConfirmExit(HWND ownerPage) {
    return DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDD_EXIT_CONFIRM), ownerPage, ExitConfirmPageProc,
                           0);
}
