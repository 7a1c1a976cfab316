// What every page procedure does alike: the page colours for static controls
// and the painting of banner, body and footer.
#pragma once

#include <windows.h>

// WM_CTLCOLORSTATIC and WM_ERASEBKGND through the page look; 0 (not handled)
// for every other message.
INT_PTR HandlePageLookMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// WM_SETFONT with `font` to each listed control of the page, no redraw.
void SetFontOnControls(HWND page, HFONT font, const int* controlIds, int count);
