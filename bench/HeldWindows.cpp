#include "bench/HeldWindows.h"

#include "bench/Driver.h"
#include "bench/TestFiles.h"

namespace qvtest {

namespace {

int g_holderCount = 0;

HWND FindHolderWindow(DWORD processId, const std::wstring& className) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, className.c_str(), nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) return window;
    }
    return nullptr;
}

}  // namespace

bool HeldWindows::Open(const std::vector<HeldWindow>& windows) {
    Close();
    const std::wstring base =
        L"QvTestHolder." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(++g_holderCount);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, (base + L".ready").c_str());
    quit_ = CreateEventW(nullptr, TRUE, FALSE, (base + L".quit").c_str());
    const std::wstring exe = BuiltProgram(L"WindowHolder.exe");
    std::wstring commandLine = L"\"" + exe + L"\" " + base;
    for (const HeldWindow& window : windows)
        commandLine +=
            L" \"" + window.className + L"\" \"" + window.title + L"\" " + (window.visible ? L"visible" : L"hidden");
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, L"C:\\", &startup, &info)) {
        CloseHandle(ready);
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    HANDLE both[2] = {ready, process_};
    const DWORD wait = WaitForMultipleObjects(2, both, FALSE, DefaultWaitMs);
    CloseHandle(ready);
    return wait == WAIT_OBJECT_0;
}

void HeldWindows::Close() {
    if (process_) {
        SetEvent(quit_);
        if (WaitForSingleObject(process_, DefaultWaitMs) != WAIT_OBJECT_0) TerminateProcess(process_, 9);
        CloseHandle(process_);
        process_ = nullptr;
    }
    if (quit_) {
        CloseHandle(quit_);
        quit_ = nullptr;
    }
}

bool HeldWindows::CloseWindowOfClass(const std::wstring& className) {
    HWND window = FindHolderWindow(processId_, className);
    if (!window) return false;
    PostMessageW(window, WM_CLOSE, 0, 0);
    return WaitUntil([&] { return !IsWindow(window); });
}

}  // namespace qvtest
