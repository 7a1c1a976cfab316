// Page 102, "Action Required": asks the user to close Visual Studio and the
// product; shows a bullet line for each of them that runs.
#pragma once

#include <windows.h>

// Next (1) ends with 1; Cancel (2) ends with 0 when the user confirms the exit.
INT_PTR CALLBACK ActionRequiredPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
