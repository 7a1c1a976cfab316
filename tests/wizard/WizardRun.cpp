#include "WizardRun.h"

#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"

namespace qvtest {

namespace {

// Without a window manager Wine waits two seconds for every hidden managed
// window to be withdrawn; unmanaged windows (title bars drawn by Wine
// itself) are hidden at once.
const wchar_t UninstallerX11Key[] = L"Software\\Wine\\AppDefaults\\Uninstall.exe\\X11 Driver";

}  // namespace

void WizardRun::SetUp() {
    SetRegString(HKEY_CURRENT_USER, UninstallerX11Key, L"Managed", L"N");
    sample.uninstallerSource = UninstallExe();
    RemoveSampleInstallation(sample);
    DeleteFileW(L"C:\\QVUninst.bat");
}

void WizardRun::TearDown() {
    uninstaller.Kill();
    RemoveSampleInstallation(sample);
    // The self-deletion batch may still be on its way out.
    WaitUntil([] { return !PathExists(L"C:\\QVUninst.bat"); }, 10000);
    DeleteFileW(L"C:\\QVUninst.bat");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, UninstallerX11Key, L"Managed");
}

std::string Joined(const std::vector<std::wstring>& lines) {
    std::string text;
    for (const std::wstring& line : lines) text += Narrow(line) + "\n";
    return text;
}

void WizardRun::LayOut() {
    std::wstring error;
    ASSERT_TRUE(LayOutSampleInstallation(sample, &error)) << Narrow(error);
}

void WizardRun::StartUninstaller(const std::wstring& arguments) {
    LayOut();
    ASSERT_TRUE(uninstaller.Start(InstalledUninstaller(), InstallFolderOf(sample), arguments));
}

WatchedRun WizardRun::RunUnattended(const std::wstring& arguments) {
    WatchedRun run;
    EXPECT_TRUE(uninstaller.Start(InstalledUninstaller(), InstallFolderOf(sample), arguments)) << Narrow(arguments);
    // A window that shows ends the watch: nobody would answer it.
    WaitUntil(
        [&] {
            const bool ended = uninstaller.HasExited();
            for (HWND window : uninstaller.TopLevelWindows(false)) {
                if (!IsWindowVisible(window) && WindowClass(window) != L"#32770") continue;
                wchar_t title[256] = L"";
                GetWindowTextW(window, title, 256);
                run.windows.push_back(WindowClass(window) + L" \"" + title + L"\"");
            }
            return ended || !run.windows.empty();
        },
        120000);
    run.exited = uninstaller.WaitForExit(run.exitCode, run.windows.empty() ? DefaultWaitMs : 0);
    EXPECT_TRUE(run.exited) << Narrow(arguments);
    EXPECT_EQ("", Joined(run.windows)) << Narrow(arguments) << ": no window at any point";
    return run;
}

void WizardRun::PressAndWaitGone(HWND page, int controlId) {
    ASSERT_TRUE(ProcessDriver::PressButton(page, controlId));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(page) || !IsWindowVisible(page); }));
}

DWORD WizardRun::WaitForExitCode() {
    DWORD code = 0xDEADBEEF;
    EXPECT_TRUE(uninstaller.WaitForExit(code));
    return code;
}

void WizardRun::ExpectEndedWithNothingChanged(DWORD exitCode, const std::vector<std::wstring>& before) {
    EXPECT_EQ(exitCode, WaitForExitCode());
    EXPECT_EQ(Joined(before), Joined(SnapshotOf(sample)));
    EXPECT_TRUE(PathExists(InstalledUninstaller()));
    EXPECT_FALSE(PathExists(L"C:\\QVUninst.bat"));
}

}  // namespace qvtest
