// WindowHolder.exe: stands in for running applications. Creates top-level
// windows of the given classes and titles, signals that they exist, and
// waits until told to end.
//   WindowHolder.exe <event base name> (<class> <title> visible|hidden)...
// Sets the event "<base>.ready" once every window exists; ends when the event
// "<base>.quit" is set or when every window has been closed (WM_CLOSE).
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

int g_openWindows = 0;

LRESULT CALLBACK HolderWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            if (--g_openWindows == 0) PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5 || (argc - 2) % 3 != 0) {
        std::fwprintf(stderr, L"usage: WindowHolder <event base> (<class> <title> visible|hidden)...\n");
        return 2;
    }
    const std::wstring base = argv[1];
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, (base + L".ready").c_str());
    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, (base + L".quit").c_str());
    std::set<std::wstring> registered;
    for (int i = 2; i + 2 < argc; i += 3) {
        const std::wstring className = argv[i];
        if (registered.insert(className).second) {
            WNDCLASSW windowClass = {};
            windowClass.lpfnWndProc = HolderWindowProc;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = className.c_str();
            if (!RegisterClassW(&windowClass)) return 3;
        }
        const bool visible = std::wstring(argv[i + 2]) == L"visible";
        HWND window =
            CreateWindowExW(0, className.c_str(), argv[i + 1], WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 0, 0,
                            240, 120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!window) return 4;
        ++g_openWindows;
    }
    SetEvent(ready);
    for (;;) {
        const DWORD wait = MsgWaitForMultipleObjects(1, &quit, FALSE, INFINITE, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0) return 0;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return 0;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}
