#include "wizard/OutcomePages.h"

#include "imaging/PictureControl.h"
#include "resources/resource.h"
#include "wizard/Macros.h"
#include "wizard/MainFrame.h"
#include "wizard/PageCommon.h"
#include "wizard/PageLook.h"
#include "wizard/ScreenResources.h"

namespace {

const int BoldControls[] = {IDC_SUBHEADING};

INT_PTR OnInitSuccess(HWND page) {
    PreparePage(page);
    SetFontOnControls(page, BoldFont.Get(), BoldControls, 1);
    ExpandControlText(page, IDC_INTRO);
    AttachPictureControl(page, IDC_PICTURE, PageBackground);
    return TRUE;
}

INT_PTR OnSuccessCommand(HWND page, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            EndDialog(page, 1);
            return 1;
        default:
            return 0;
    }
}

INT_PTR OnInitError(HWND page) {
    PreparePage(page);
    SetFontOnControls(page, BoldFont.Get(), BoldControls, 1);
    AttachPictureControl(page, IDC_PICTURE, PageBackground);
    return TRUE;
}

INT_PTR OnErrorCommand(HWND page, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(page, 1);
            return 1;
        case IDC_TRY_AGAIN:
            EndDialog(page, TryAgainResult);
            return 1;
        default:
            // Escape and the close box arrive as IDCANCEL and change nothing.
            return 0;
    }
}

}  // namespace

INT_PTR CALLBACK SuccessPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitSuccess(page);
        case WM_COMMAND:
            return OnSuccessCommand(page, wParam);
        default:
            return HandlePageLookMessage(page, message, wParam, lParam);
    }
}

INT_PTR CALLBACK ErrorPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitError(page);
        case WM_COMMAND:
            return OnErrorCommand(page, wParam);
        default:
            return HandlePageLookMessage(page, message, wParam, lParam);
    }
}
