#include "wizard/ActionRequiredPage.h"

#include "resources/resource.h"
#include "wizard/ExitConfirmPage.h"
#include "wizard/PageCommon.h"
#include "wizard/PageLook.h"
#include "wizard/RunningApps.h"
#include "wizard/ScreenResources.h"

namespace {

const int BoldControls[] = {IDC_VS_LINE, IDC_PRODUCT_LINE};

void HideLine(HWND page, int textId, int bulletId) {
    ShowWindow(GetDlgItem(page, textId), SW_HIDE);
    ShowWindow(GetDlgItem(page, bulletId), SW_HIDE);
}

INT_PTR OnInitActionRequired(HWND page) {
    PreparePage(page);
    SetFontOnControls(page, BoldFont.Get(), BoldControls, 2);
    if (!IsVisualStudioRunning()) HideLine(page, IDC_VS_LINE, IDC_VS_BULLET);
    if (!IsProductRunning()) HideLine(page, IDC_PRODUCT_LINE, IDC_PRODUCT_BULLET);
    MessageBeep(MB_ICONHAND);
    return TRUE;
}

INT_PTR OnActionRequiredCommand(HWND page, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(page, 1);
            return 1;
        case IDCANCEL:
            if (ConfirmExit(page)) EndDialog(page, 0);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

INT_PTR CALLBACK ActionRequiredPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitActionRequired(page);
        case WM_COMMAND:
            return OnActionRequiredCommand(page, wParam);
        default:
            return HandlePageLookMessage(page, message, wParam, lParam);
    }
}
