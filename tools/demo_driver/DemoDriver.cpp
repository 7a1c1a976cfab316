// DemoDriver.exe: takes the real Uninstall.exe through every page of its
// wizard on the current display, the way a user would, and saves a picture
// of each page. Used by tools/demo when there is no display to click on.
//   DemoDriver.exe <Uninstall.exe> <folder for the pictures>
//   DemoDriver.exe --by-hand <Uninstall.exe>
// With --by-hand it only lays out the sample installation, starts the
// uninstaller for a person to click through, waits for it and reports.
// Two runs: a copy whose page 103 cannot be made shows the error page (105)
// and changes nothing; then the real program uninstalls the sample
// installation while Visual Studio and the product seem to run, passing
// pages 101, 106, 102, 103 and 104. Prints what was removed and what stayed.

// windows.h must come before commctrl.h.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "bench/BrokenResources.h"
#include "bench/Driver.h"
#include "bench/HeldWindows.h"
#include "bench/PageDriver.h"
#include "bench/SampleInstallation.h"
#include "bench/ScreenCapture.h"
#include "bench/Snapshot.h"
#include "bench/TestFiles.h"

using namespace qvtest;

namespace {

std::wstring g_pictureFolder;
int g_failures = 0;

void Step(const char* text) {
    std::printf("demo-driver: %s\n", text);
    std::fflush(stdout);
}

void Fail(const char* text) {
    std::printf("demo-driver: FAILED: %s\n", text);
    std::fflush(stdout);
    ++g_failures;
}

// The screen area of the windows, united, as a BMP file.
bool SaveWindowsPicture(const std::vector<HWND>& windows, const std::wstring& name) {
    RECT area = {0, 0, 0, 0};
    for (HWND window : windows) {
        RECT r;
        GetWindowRect(window, &r);
        if (IsRectEmpty(&area))
            area = r;
        else
            UnionRect(&area, &area, &r);
    }
    const int w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0) return false;
    // Have every window painted now: RDW_UPDATENOW makes the windows' own
    // thread paint them before the call returns.
    for (HWND window : windows)
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    // Let every window finish painting: two equal captures in a row.
    const std::vector<DWORD> shown = CaptureSettledScreen(area);
    const bool written = SaveBmp(g_pictureFolder + L"\\" + name + L".bmp", w, h, shown);
    std::printf("demo-driver: picture %s.bmp (%d x %d)\n", Narrow(name).c_str(), w, h);
    return written;
}

HWND Page(ProcessDriver& process, int templateId) {
    HWND page = WaitForPage(process, templateId);
    if (!page) {
        std::printf("demo-driver: FAILED: page %d did not appear\n", templateId);
        ++g_failures;
    }
    return page;
}

void PressAndWaitGone(HWND page, int controlId) {
    ProcessDriver::PressButton(page, controlId);
    WaitUntil([&] { return !IsWindow(page) || !IsWindowVisible(page); });
}

// A copy whose page 103 cannot be made: Next leads to the error page.
void ShowErrorPage(const std::wstring& uninstaller) {
    Step("run 1: a copy of the uninstaller whose page 103 cannot be made");
    const std::wstring folder = FreshTestFolder(L"DemoBrokenCopy");
    const std::wstring broken = folder + L"\\Uninstall.exe";
    if (!CopyWithReplacedResource(uninstaller, broken, reinterpret_cast<const wchar_t*>(RT_DIALOG), 103,
                                  UncreatableDialogTemplate()))
        return Fail("cannot make the broken copy");
    SampleInstallation sample;
    sample.uninstallerSource = broken;
    RemoveSampleInstallation(sample);
    if (!LayOutSampleInstallation(sample)) return Fail("cannot lay out the sample installation");
    const std::vector<std::wstring> before = SnapshotOf(sample);
    ProcessDriver process;
    process.Start(InstallFolderOf(sample) + L"Uninstall.exe", InstallFolderOf(sample));
    if (HWND choice = Page(process, 101)) PressAndWaitGone(choice, IDOK);
    if (HWND error = Page(process, 105)) {
        SaveWindowsPicture({error}, L"105-error");
        ProcessDriver::PressButton(error, IDOK);
    }
    DWORD code = 0;
    if (!process.WaitForExit(code)) Fail("the broken copy did not end");
    std::printf("demo-driver: Finish on the error page: exit code %lu, %s\n", code,
                SnapshotOf(sample) == before ? "nothing changed" : "SOMETHING CHANGED");
    RemoveSampleInstallation(sample);
    RemoveTree(folder);
}

void PrintDifference(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after) {
    const std::set<std::wstring> left(after.begin(), after.end());
    std::vector<std::wstring> removed, stayed;
    for (const std::wstring& line : before) (left.count(line) ? stayed : removed).push_back(line);
    std::printf("demo-driver: removed (%zu):\n", removed.size());
    for (const std::wstring& line : removed) std::printf("  - %s\n", Narrow(line).c_str());
    std::printf("demo-driver: stayed (%zu):\n", stayed.size());
    for (const std::wstring& line : stayed) std::printf("  = %s\n", Narrow(line).c_str());
    std::printf(
        "demo-driver: by design, the file types (HKCR) are given back only on Windows older than Vista\n"
        "             (this prefix reports a later version), and the maker's per-user \"folders\" key\n"
        "             is not the product's to delete.\n");
}

void UninstallSample(const std::wstring& uninstaller) {
    Step("run 2: the real uninstaller on the sample installation");
    SampleInstallation sample;
    sample.uninstallerSource = uninstaller;
    RemoveSampleInstallation(sample);
    if (!LayOutSampleInstallation(sample)) return Fail("cannot lay out the sample installation");
    const std::vector<std::wstring> before = SnapshotOf(sample);

    // Visual Studio and the product seem to run (hidden windows of a helper).
    HeldWindows running;
    if (!running.Open({{L"wndclass_desked_gsk", L"Microsoft Visual Studio", false},
                       {L"QVGlyphSmithClass", L"GlyphSmith", false}}))
        return Fail("cannot start the window holder");

    ProcessDriver process;
    process.Start(InstallFolderOf(sample) + L"Uninstall.exe", InstallFolderOf(sample));
    HWND choice = Page(process, 101);
    if (!choice) return;
    SaveWindowsPicture({choice}, L"101-maintenance");
    ProcessDriver::PressButton(choice, IDCANCEL);
    if (HWND confirm = Page(process, 106)) {
        SaveWindowsPicture({choice, confirm}, L"106-exit-confirmation");
        PressAndWaitGone(confirm, IDCANCEL);
    }
    PressAndWaitGone(choice, IDOK);
    HWND action = Page(process, 102);
    if (!action) return;
    SaveWindowsPicture({action}, L"102-action-required");
    running.Close();
    PressAndWaitGone(action, IDOK);
    HWND removal = Page(process, 103);
    if (removal) {
        HWND bar = GetDlgItem(removal, 1016);
        WaitUntil([&] {
            DWORD_PTR position = 0;
            SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position);
            return !IsWindow(removal) || position >= 40;
        });
        if (IsWindow(removal)) SaveWindowsPicture({removal}, L"103-uninstalling");
    }
    HWND success = Page(process, 104);
    if (!success) return;
    SaveWindowsPicture({success}, L"104-success");
    ProcessDriver::PressButton(success, IDOK);
    DWORD code = 0;
    if (!process.WaitForExit(code)) Fail("the uninstaller did not end");
    std::printf("demo-driver: Close on the success page: exit code %lu\n", code);
    const bool selfDeleted = WaitUntil(
        [&] { return !PathExists(InstallFolderOf(sample) + L"Uninstall.exe") && !PathExists(L"C:\\QVUninst.bat"); });
    WaitUntil([&] { return !PathExists(sample.installFolder); }, 5000);
    std::printf("demo-driver: Uninstall.exe and C:\\QVUninst.bat %s; install folder %s\n",
                selfDeleted ? "deleted themselves" : "ARE STILL THERE",
                PathExists(sample.installFolder) ? "still there" : "removed");
    PrintDifference(before, SnapshotOf(sample));
}

}  // namespace

void UninstallByHand(const std::wstring& uninstaller) {
    SampleInstallation sample;
    sample.uninstallerSource = uninstaller;
    RemoveSampleInstallation(sample);
    if (!LayOutSampleInstallation(sample)) return Fail("cannot lay out the sample installation");
    const std::vector<std::wstring> before = SnapshotOf(sample);
    ProcessDriver process;
    process.Start(InstallFolderOf(sample) + L"Uninstall.exe", InstallFolderOf(sample));
    Step("the uninstaller is on your display: click through it; this waits until it ends");
    DWORD code = 0;
    if (!process.WaitForExit(code, INFINITE)) return Fail("the uninstaller did not end");
    std::printf("demo-driver: Uninstall.exe ended with exit code %lu\n", code);
    WaitUntil([&] { return !PathExists(InstallFolderOf(sample) + L"Uninstall.exe"); }, 5000);
    PrintDifference(before, SnapshotOf(sample));
}

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"--by-hand") {
        UninstallByHand(argv[2]);
        return g_failures ? 1 : 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: DemoDriver <Uninstall.exe> <picture folder>\n");
        return 2;
    }
    g_pictureFolder = argv[2];
    MakeFolders(g_pictureFolder);
    ShowErrorPage(argv[1]);
    UninstallSample(argv[1]);
    return g_failures ? 1 : 0;
}
