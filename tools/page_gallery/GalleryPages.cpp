#include "tools/page_gallery/GalleryPages.h"

#include <commctrl.h>

#include "app/Macros.h"
#include "imaging/PictureControl.h"
#include "resources/resource.h"
#include "wizard/PageLook.h"
#include "wizard/ScreenResources.h"

const int GalleryTemplates[6] = {IDD_MAINTENANCE, IDD_ACTION_REQUIRED, IDD_UNINSTALLING,
                                 IDD_SUCCESS,     IDD_ERROR,           IDD_EXIT_CONFIRM};

namespace {

void SetBold(HWND page, int id) { SendDlgItemMessageW(page, id, WM_SETFONT, reinterpret_cast<WPARAM>(BoldFont), 0); }

// Page 106: enlarged with its flags kept, not centred, no title expansion.
void PrepareExitConfirmation(HWND page) {
    EnlargeWindow(page, true);
    EnumChildWindows(page, ScaleChildControl, 0);
    ExpandControlText(page, IDC_INTRO);
    AttachPictureControl(page, IDC_PICTURE);
    EnumChildWindows(page, SetControlFont, reinterpret_cast<LPARAM>(BodyFont));
}

}  // namespace

void InitializeGalleryPage(HWND page, int templateId) {
    if (templateId == IDD_EXIT_CONFIRM) {
        PrepareExitConfirmation(page);
        return;
    }
    PreparePage(page);
    switch (templateId) {
    case IDD_MAINTENANCE:
        SetBold(page, IDC_INTRO);
        SetBold(page, IDC_UNINSTALL);
        SetBold(page, IDC_REPAIR);
        ExpandControlText(page, IDC_INTRO);
        AttachPictureControl(page, IDC_PICTURE);
        AttachPictureControl(page, IDC_PICTURE2);
        CheckDlgButton(page, IDC_UNINSTALL, BST_CHECKED);
        CheckDlgButton(page, IDC_REPAIR, BST_UNCHECKED);
        break;
    case IDD_ACTION_REQUIRED:
        SetBold(page, IDC_VS_LINE);
        SetBold(page, IDC_PRODUCT_LINE);
        break;
    case IDD_UNINSTALLING: {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        ExpandControlText(page, IDC_HEADING);
        ExpandControlText(page, IDC_INTRO);
        SendDlgItemMessageW(page, IDC_PROGRESS, PBM_SETPOS, 40, 0);
        break;
    }
    case IDD_SUCCESS:
        SetBold(page, IDC_SUBHEADING);
        ExpandControlText(page, IDC_INTRO);
        AttachPictureControl(page, IDC_PICTURE);
        break;
    case IDD_ERROR:
        SetBold(page, IDC_SUBHEADING);
        AttachPictureControl(page, IDC_PICTURE);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK GalleryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitializeGalleryPage(page, static_cast<int>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<INT_PTR>(
            ColorStaticControl(page, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_ERASEBKGND:
        if (!PaintPageBanner(page, reinterpret_cast<HDC>(wParam))) return FALSE;
        SetWindowLongPtrW(page, DWLP_MSGRESULT, 1);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
            DestroyWindow(page);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
