// Drives a real Windows process from a test: starts it with a chosen current
// directory, finds its top-level windows (message boxes, wizard pages), reads
// their captions and control texts, presses buttons and collects the exit code.
// Every wait is for a condition, with a generous upper bound.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace qvtest {

constexpr DWORD DefaultWaitMs = 30000;

// Polls the condition (pumping this thread's messages) until it holds or the
// time is up; returns whether it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = DefaultWaitMs);

std::wstring WindowText(HWND window);
std::wstring WindowClass(HWND window);
std::wstring ControlText(HWND dialog, int controlId);

// A message box's parts, as the system's message box lays them out.
struct MessageBoxInfo {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    bool hasErrorIcon = false;
    bool hasWarningIcon = false;
    std::vector<int> buttons;  // command ids of the push buttons (IDOK, IDRETRY, ...)
};
MessageBoxInfo ReadMessageBox(HWND box);

class ProcessDriver {
public:
    ProcessDriver() = default;
    ProcessDriver(const ProcessDriver&) = delete;
    ProcessDriver& operator=(const ProcessDriver&) = delete;
    ~ProcessDriver();

    // Starts the program with the given command line tail and current folder.
    bool Start(const std::wstring& exePath, const std::wstring& currentFolder, const std::wstring& arguments = L"");

    DWORD ProcessId() const { return processId_; }
    HANDLE Process() const { return process_; }

    // Top-level windows of the process, visible or not, in z-order.
    std::vector<HWND> TopLevelWindows(bool visibleOnly = true) const;
    // Waits for a visible top-level window of the process whose class and
    // caption match (an empty string matches anything); null on time-out.
    HWND WaitForWindow(const std::wstring& className, const std::wstring& caption, DWORD timeoutMs = DefaultWaitMs);
    // Waits for a visible dialog (class #32770) that holds the control id.
    HWND WaitForDialogWithControl(int controlId, DWORD timeoutMs = DefaultWaitMs);

    // Presses a button of a dialog the way a click does (BN_CLICKED).
    static bool PressButton(HWND dialog, int controlId);

    bool HasExited() const;
    // Waits for the process to end; true with its exit code, false on time-out.
    bool WaitForExit(DWORD& exitCode, DWORD timeoutMs = DefaultWaitMs);
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
};

}  // namespace qvtest
