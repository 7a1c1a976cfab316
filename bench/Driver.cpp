#include "bench/Driver.h"

#include <algorithm>

#include "bench/ScreenCapture.h"

namespace qvtest {

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        // Keep this thread's own windows alive while we wait.
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT works across processes, GetWindowText would not for controls.
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::wstring WindowClass(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring ControlText(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    return control ? WindowText(control) : std::wstring();
}

namespace {

// Whether the icon control of another process shows the given system icon.
// Icon handles of another process cannot be inspected, so the control's
// pixels on screen are compared with the system icon drawn on the same
// background.
bool ShowsSystemIcon(HWND control, LPCWSTR systemIcon) {
    RECT area;
    GetClientRect(control, &area);
    const int w = area.right, h = area.bottom;
    if (w <= 0 || h <= 0) return false;
    POINT origin = {0, 0};
    ClientToScreen(control, &origin);
    // The box may not have painted yet: wait until it shows its icon.
    const RECT onScreen = {origin.x, origin.y, origin.x + w, origin.y + h};
    const std::vector<DWORD> shown = CaptureSettledScreen(onScreen, true);
    if (shown.empty()) return false;
    const DWORD background = shown[0];
    const std::vector<DWORD> expected = DrawnPixels(w, h, [&](HDC memory) {
        HBRUSH brush = CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
        RECT all = {0, 0, w, h};
        FillRect(memory, &all, brush);
        DeleteObject(brush);
        DrawIconEx(memory, 0, 0, LoadIconW(nullptr, systemIcon), 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
    });
    size_t same = 0;
    for (size_t i = 0; i < shown.size(); ++i) same += (shown[i] & 0xFFFFFF) == (expected[i] & 0xFFFFFF);
    return same * 100 >= shown.size() * 95;
}

}  // namespace

MessageBoxInfo ReadMessageBox(HWND box) {
    MessageBoxInfo info;
    info.window = box;
    info.caption = WindowText(box);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring cls = WindowClass(child);
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        const int id = GetDlgCtrlID(child);
        if (_wcsicmp(cls.c_str(), L"Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON) {
                info.hasErrorIcon = info.hasErrorIcon || ShowsSystemIcon(child, IDI_ERROR);
                info.hasWarningIcon = info.hasWarningIcon || ShowsSystemIcon(child, IDI_WARNING);
            } else if (id == 0xFFFF) {
                info.text = WindowText(child);
            }
        } else if (_wcsicmp(cls.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
            info.buttons.push_back(id);
        }
    }
    return info;
}

ProcessDriver::~ProcessDriver() {
    if (process_) {
        if (!HasExited()) Kill();
        CloseHandle(process_);
    }
}

bool ProcessDriver::Start(const std::wstring& exePath, const std::wstring& currentFolder,
                          const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exePath + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    return true;
}

namespace {

struct WindowSearch {
    DWORD processId;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && (!search->visibleOnly || IsWindowVisible(window)))
        search->found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> ProcessDriver::TopLevelWindows(bool visibleOnly) const {
    WindowSearch search{processId_, visibleOnly, {}};
    EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ProcessDriver::WaitForWindow(const std::wstring& className, const std::wstring& caption, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows()) {
                if (!className.empty() && WindowClass(window) != className) continue;
                if (!caption.empty() && WindowText(window) != caption) continue;
                found = window;
                return true;
            }
            return HasExited();
        },
        timeoutMs);
    return found;
}

HWND ProcessDriver::WaitForDialogWithControl(int controlId, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows()) {
                if (WindowClass(window) == L"#32770" && GetDlgItem(window, controlId)) {
                    found = window;
                    return true;
                }
            }
            return HasExited();
        },
        timeoutMs);
    return found;
}

bool ProcessDriver::PressButton(HWND dialog, int controlId) {
    HWND button = GetDlgItem(dialog, controlId);
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(button)) !=
           FALSE;
}

bool ProcessDriver::HasExited() const {
    return !process_ || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
}

bool ProcessDriver::WaitForExit(DWORD& exitCode, DWORD timeoutMs) {
    if (!process_) return false;
    if (!WaitUntil([&] { return HasExited(); }, timeoutMs)) return false;
    return GetExitCodeProcess(process_, &exitCode) != FALSE;
}

void ProcessDriver::Kill() {
    if (process_ && !HasExited()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, DefaultWaitMs);
    }
}

}  // namespace qvtest
