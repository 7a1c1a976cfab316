// Shared pieces of the removal tests: a scope that restores the uninstall
// record and the current directory, and a real window with a progress bar
// (control 1016) that records every position set on it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qvtest {

// Saves the record's removal fields and the current directory; puts them
// back when it goes away.
class RecordScope {
public:
    RecordScope();
    ~RecordScope();
    RecordScope(const RecordScope&) = delete;
    RecordScope& operator=(const RecordScope&) = delete;

    // Replaces the list of files to remove.
    static void SetFiles(const std::vector<std::wstring>& files);

private:
    wchar_t currentDirectory_[MAX_PATH];
};

class ProgressWindow {
public:
    ProgressWindow();
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    HWND Page() const { return page_; }
    HWND Bar() const { return bar_; }
    // Every PBM_SETPOS position received, in order.
    const std::vector<int>& Positions() const;
    int Position() const;

private:
    HWND page_ = nullptr;
    HWND bar_ = nullptr;
};

std::wstring CurrentDirectory();

}  // namespace qvtest
