// Runs WindowHolder.exe: top-level windows of chosen classes and titles in
// another process, standing in for Visual Studio, the product or any other
// application, until the test closes them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qvtest {

struct HeldWindow {
    std::wstring className;
    std::wstring title;
    bool visible = true;
};

class HeldWindows {
public:
    HeldWindows() = default;
    HeldWindows(const HeldWindows&) = delete;
    HeldWindows& operator=(const HeldWindows&) = delete;
    ~HeldWindows() { Close(); }

    // Starts the holder and waits until every window exists.
    bool Open(const std::vector<HeldWindow>& windows);
    // Ends the holder and waits until its windows are gone.
    void Close();
    // Closes one window of the holder (WM_CLOSE) and waits until it is gone.
    bool CloseWindowOfClass(const std::wstring& className);

private:
    HANDLE process_ = nullptr;
    HANDLE quit_ = nullptr;
    DWORD processId_ = 0;
};

}  // namespace qvtest
