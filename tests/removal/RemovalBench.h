// Shared pieces of the removal tests: a scope that restores the uninstall
// record and the current directory, a real window with a progress bar
// (control 1016) that records every position set on it, and a folder
// swapped for a link between the removal's check and its use.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "removal/Removal.h"
#include "removal/RemovalRun.h"
#include "removal/VisualStudioAutomation.h"

namespace qvtest {

// The add-in step as the wizard runs it: Visual Studio may be started, and
// its automation is waited for as long as it takes.
inline const CAutomationBound Unbounded(1, 0);

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

// A real page window with a progress bar (control 1016) that the removal
// moves through the progress interface; the bar records every position.
class ProgressWindow : public IRemovalProgress {
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

    void SetPosition(int position) override;
    void Pump() override {}
    void Pause(DWORD) override {}

private:
    HWND page_ = nullptr;
    HWND bar_ = nullptr;
};

// The moment between the check and the use: once the removal has checked
// `folder` (RemovalCheckedHook), the folder is renamed away and a link to
// `target` put in its place, once. The hook is set while this object
// lives; the link goes with it.
class CheckedFolderSwap {
public:
    CheckedFolderSwap(const std::wstring& folder, const std::wstring& target);
    ~CheckedFolderSwap();
    CheckedFolderSwap(const CheckedFolderSwap&) = delete;
    CheckedFolderSwap& operator=(const CheckedFolderSwap&) = delete;

    // The folder was renamed away and the link planted.
    bool Swapped() const;
};

std::wstring CurrentDirectory();

// The removal run of these tests: acting and without a log until one is
// opened with OpenTestLog.
CRemovalRun& TestRun();
// Opens TestRun()'s log (plan == 0) or plan as the program does for /log and
// /plan, with the uninstall record's folders kept out.
int OpenTestLog(const wchar_t* path, int plan);

}  // namespace qvtest
