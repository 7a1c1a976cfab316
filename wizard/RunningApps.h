// Whether Microsoft Visual Studio or the product is running, judged from the
// list of top-level windows. Neither may run while the program is removed or
// repaired.
#pragma once

#include <windows.h>

// Set by FindVisualStudioWindow when it meets a Visual Studio window.
extern int VisualStudioFound;

// EnumWindows callback: a window whose title (first 255 characters) contains
// "Microsoft Visual Studio" and whose class name does not contain
// "ThumbnailClass" sets VisualStudioFound and ends the enumeration.
BOOL CALLBACK FindVisualStudioWindow(HWND window, LPARAM);

// 1 when a top-level window of class "wndclass_desked_gsk" exists, or, failing
// that, any top-level window passes FindVisualStudioWindow; else 0.
int IsVisualStudioRunning();

// 1 when a top-level window of class "QVGlyphSmithClass" exists; else 0.
int IsProductRunning();
