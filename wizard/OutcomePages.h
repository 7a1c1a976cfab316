// The two pages that end the removal: 104 reports success, 105 reports that
// the uninstalling page could not run and offers to try again.
#pragma once

#include <windows.h>

// Page 104: Close (1), Escape and the close box (2) end with 1.
INT_PTR CALLBACK SuccessPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Page 105: Finish (1) ends with 1, Try Again (1001) with 3; Escape and the
// close box do nothing.
INT_PTR CALLBACK ErrorPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
