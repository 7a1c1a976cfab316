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

void WizardRun::StartUninstaller(const std::wstring& arguments) {
    std::wstring error;
    ASSERT_TRUE(LayOutSampleInstallation(sample, &error)) << Narrow(error);
    ASSERT_TRUE(uninstaller.Start(InstalledUninstaller(), InstallFolderOf(sample), arguments));
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

}  // namespace qvtest
