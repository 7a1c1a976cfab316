// Page 106, the exit confirmation that pages 101 and 102 open above
// themselves when the user cancels.
#pragma once

#include <windows.h>

// Yes (1) ends with 1, No (2), Escape and the close box with 0.
INT_PTR CALLBACK ExitConfirmPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Shows page 106 owned by `ownerPage`; non-zero means quit.
INT_PTR ConfirmExit(HWND ownerPage);
