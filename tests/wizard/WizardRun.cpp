#include "wizard/WizardRun.h"

#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"

namespace qvtest {

void WizardRun::SetUp() {
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
}

void WizardRun::StartUninstaller() {
    std::wstring error;
    ASSERT_TRUE(LayOutSampleInstallation(sample, &error)) << Narrow(error);
    ASSERT_TRUE(uninstaller.Start(InstalledUninstaller(), InstallFolderOf(sample)));
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
