#include "wizard/PageCommon.h"

#include "wizard/PageLook.h"

INT_PTR HandlePageLookMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(
                ColorStaticControl(page, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
        case WM_ERASEBKGND: {
            // Painted: tell the dialog manager the background is erased.
            const int painted = PaintPageBanner(page, reinterpret_cast<HDC>(wParam));
            if (painted) SetWindowLongPtrW(page, DWLP_MSGRESULT, 1);
            return painted;
        }
        default:
            return 0;
    }
}

void SetFontOnControls(HWND page, HFONT font, const int* controlIds, int count) {
    for (int i = 0; i < count; ++i)
        SendDlgItemMessageW(page, controlIds[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
}
