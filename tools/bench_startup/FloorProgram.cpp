// FloorProgram.exe: the floor of the start-up benchmark, the least that the
// uninstaller's start must do before its first page is painted. With the
// same manifest (common controls 6.0, DPI awareness) it initialises COM on
// its thread, creates and shows a main window out of sight (at y = 2048, as
// the uninstaller's hidden main window) and shows one dialog owned by it,
// the minimal program's dialog.
// objbase.h brings windows.h.
#include <objbase.h>

namespace {

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    CoInitialize(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"QvFloorMain";
    RegisterClassExW(&windowClass);
    HWND main = CreateWindowExW(0, L"QvFloorMain", L"Floor", WS_OVERLAPPEDWINDOW, 0, 2048, 1, 1, nullptr, nullptr,
                                instance, nullptr);
    ShowWindow(main, SW_SHOW);
    UpdateWindow(main);
    const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(1), main, DialogProc, 0);
    DestroyWindow(main);
    CoUninitialize();
    return static_cast<int>(result);
}
