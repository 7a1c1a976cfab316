// Page 101, the maintenance choice: uninstall the application or repair the
// installation. For a repair the page makes sure the repair program exists,
// letting the user locate it with the open-file dialog.
#pragma once

#include <windows.h>

#include "framework/String.h"

// Next (1) ends with 1 once the choice can be carried out; Cancel (2) ends
// with 0 when the user confirms the exit on page 106.
INT_PTR CALLBACK MaintenancePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The open-file dialog owned by the page, starting from `program`. Non-zero
// with the chosen path in `program`; zero (and `program` unchanged) when the
// user cancels.
int BrowseForRepairProgram(HWND page, CString& program);

// When the open-file dialog refused to open because its initial file name
// was invalid (`dialogError` FNERR_INVALIDFILENAME), the name to try once
// more: the program path of a quoted command without its arguments, or an
// empty name. Returns zero, leaving `next` alone, for any other outcome or
// when the refused name was already empty. `next` holds 260 characters.
int InitialNameAfterRefusal(const wchar_t* refused, DWORD dialogError, wchar_t* next);
