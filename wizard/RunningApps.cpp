#include "wizard/RunningApps.h"

#include <wchar.h>

int VisualStudioFound = 0;

namespace {

constexpr int WindowTextChars = 256;

}  // namespace

BOOL CALLBACK FindVisualStudioWindow(HWND window, LPARAM) {
    wchar_t title[WindowTextChars];
    wchar_t className[WindowTextChars];
    title[0] = L'\0';
    className[0] = L'\0';
    GetWindowTextW(window, title, WindowTextChars);
    GetClassNameW(window, className, WindowTextChars);
    title[WindowTextChars - 1] = L'\0';
    className[WindowTextChars - 1] = L'\0';
    if (wcsstr(title, L"Microsoft Visual Studio") && !wcsstr(className, L"ThumbnailClass")) {
        VisualStudioFound = 1;
        return FALSE;
    }
    return TRUE;
}

int IsVisualStudioRunning() {
    if (FindWindowW(L"wndclass_desked_gsk", nullptr)) return 1;
    VisualStudioFound = 0;
    EnumWindows(FindVisualStudioWindow, 0);
    return VisualStudioFound ? 1 : 0;
}

int IsProductRunning() {
    return FindWindowW(L"QVGlyphSmithClass", nullptr) ? 1 : 0;
}
