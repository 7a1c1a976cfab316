// Start-up of the real Uninstall.exe under Wine: the messages for a missing
// or damaged uninstall.ini and a missing install folder, and the exit code.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include "bench/Driver.h"
#include "bench/SampleInstallation.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"

using namespace qvtest;

namespace {

const wchar_t ProductPath[] = L"SOFTWARE\\Quorvex\\QvTest Startup";
const wchar_t UninstallPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QvTest Startup (64-bit)";

struct RunResult {
    std::vector<MessageBoxInfo> boxes;
    DWORD exitCode = 0xDEADBEEF;
    bool exited = false;
};

class StartupTest : public ::testing::Test {
protected:
    RegistryScope scope_{{{HKEY_LOCAL_MACHINE, ProductPath}, {HKEY_LOCAL_MACHINE, UninstallPath}}};
    std::wstring folder_ = FreshTestFolder(L"Startup");

    void SetUp() override {
        ASSERT_TRUE(CopyFileW(UninstallExe().c_str(), (folder_ + L"\\Uninstall.exe").c_str(), FALSE))
            << Narrow(UninstallExe());
    }
    void TearDown() override { RemoveTree(folder_); }

    void WriteIni(const std::string& body) { ASSERT_TRUE(WriteFileBytes(folder_ + L"\\uninstall.ini", body)); }

    // Runs the program, answering every message box with its first button,
    // until the process ends.
    RunResult Run() {
        RunResult result;
        ProcessDriver driver;
        EXPECT_TRUE(driver.Start(folder_ + L"\\Uninstall.exe", folder_));
        for (int round = 0; round < 5 && !driver.HasExited(); ++round) {
            HWND box = driver.WaitForWindow(L"#32770", L"");
            if (!box) break;
            MessageBoxInfo info = ReadMessageBox(box);
            result.boxes.push_back(info);
            EXPECT_FALSE(info.buttons.empty());
            if (info.buttons.empty()) break;
            ProcessDriver::PressButton(box, info.buttons.front());
            WaitUntil([&] { return !IsWindow(box) || driver.HasExited(); });
        }
        result.exited = driver.WaitForExit(result.exitCode);
        return result;
    }
};

TEST_F(StartupTest, MissingSettingsShowOneErrorAndEndWithZero) {
    const char* const inis[] = {nullptr, "[uninstall]\r\nrepair=C:\\Setup\\Repair.exe\r\n", "[uninstall]\r\nargs=\r\n",
                                "[other]\r\nargs=\"a\" \"b\"\r\n"};
    for (const char* ini : inis) {
        DeleteFileW((folder_ + L"\\uninstall.ini").c_str());
        if (ini) WriteIni(ini);
        const RunResult run = Run();
        ASSERT_TRUE(run.exited) << (ini ? ini : "no file");
        EXPECT_EQ(0u, run.exitCode);
        ASSERT_EQ(1u, run.boxes.size()) << (ini ? ini : "no file");
        EXPECT_EQ(L"ERROR: Can't find uninstall.ini", run.boxes[0].text);
        EXPECT_EQ(L"Installation", run.boxes[0].caption);
        EXPECT_TRUE(run.boxes[0].hasErrorIcon);
        EXPECT_EQ(std::vector<int>{IDOK}, run.boxes[0].buttons);
    }
}

TEST_F(StartupTest, MissingInstallFolderShowsExpandedMessage) {
    WriteIni("[uninstall]\r\nargs=\"QvTest Startup\" \"GlyphSmith.exe\"\r\n");
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, UninstallPath, L"DisplayName", L"Quorvex GlyphSmith 6.5"));
    const RunResult run = Run();
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(0u, run.exitCode);
    ASSERT_EQ(1u, run.boxes.size());
    EXPECT_EQ(L"Installation", run.boxes[0].caption);
    EXPECT_TRUE(run.boxes[0].hasErrorIcon);
    EXPECT_EQ(0u, run.boxes[0].text.find(L"Quorvex GlyphSmith is not installed on this computer"))
        << Narrow(run.boxes[0].text);
    EXPECT_EQ(std::wstring::npos, run.boxes[0].text.find(L"{")) << "macros expanded";
}

TEST_F(StartupTest, DamagedArgsEndInOrder) {
    for (const char* args : {"GlyphSmith", "\"GlyphSmith\"", "Glyph\"Smith"}) {
        WriteIni(std::string("[uninstall]\r\nargs=") + args + "\r\n");
        const RunResult run = Run();
        ASSERT_TRUE(run.exited) << args;
        EXPECT_EQ(0u, run.exitCode);
        ASSERT_EQ(1u, run.boxes.size()) << args;
        EXPECT_EQ(L"Installation", run.boxes[0].caption);
        EXPECT_TRUE(run.boxes[0].hasErrorIcon);
        EXPECT_NE(std::wstring::npos, run.boxes[0].text.find(L"\"args\" entry of uninstall.ini is damaged"))
            << Narrow(run.boxes[0].text);
    }
}

}  // namespace

namespace {

TEST(StartupOnSampleTest, CompleteInstallationOpensTheWizardWithoutMessage) {
    SampleInstallation sample;
    sample.installFolder = L"C:\\QvTest\\Sample Install\\GlyphSmith";
    sample.productKey = L"QvTest Sample";
    sample.previewFolder = L"C:\\QvTest\\Sample Preview\\Temporary Preview Files";
    sample.uninstallerSource = UninstallExe();
    RemoveSampleInstallation(sample);
    std::wstring error;
    ASSERT_TRUE(LayOutSampleInstallation(sample, &error)) << Narrow(error);
    const std::vector<std::wstring> before = ListTree(sample.installFolder);
    // The work folder's search makes "<Local AppData>\Quorvex" for its write
    // test; the program keeps nothing there and must not leave it behind.
    wchar_t localAppData[MAX_PATH] = L"";
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, localAppData));
    const std::wstring quorvex = std::wstring(localAppData) + L"\\Quorvex";
    ASSERT_FALSE(PathExists(quorvex));

    ProcessDriver driver;
    ASSERT_TRUE(driver.Start(InstallFolderOf(sample) + L"Uninstall.exe", sample.installFolder));
    // The first page (the maintenance choice, control 1034) and no message.
    HWND page = driver.WaitForDialogWithControl(1034);
    ASSERT_NE(page, nullptr);
    for (HWND window : driver.TopLevelWindows())
        EXPECT_TRUE(window == page || WindowClass(window) != L"#32770") << Narrow(WindowText(window));
    // Cancel, then Yes on the exit confirmation (control 1026 without 1034).
    ProcessDriver::PressButton(page, IDCANCEL);
    HWND confirm = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND window : driver.TopLevelWindows())
            if (window != page && WindowClass(window) == L"#32770" && GetDlgItem(window, 1026)) confirm = window;
        return confirm != nullptr;
    }));
    ProcessDriver::PressButton(confirm, IDOK);
    DWORD exitCode = 0xDEADBEEF;
    ASSERT_TRUE(driver.WaitForExit(exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(before, ListTree(sample.installFolder)) << "start-up and a cancelled wizard change nothing";
    EXPECT_FALSE(PathExists(quorvex)) << "no Quorvex folder left behind";
    RemoveSampleInstallation(sample);
    RemoveTree(L"C:\\QvTest\\Sample Install");
    RemoveTree(L"C:\\QvTest\\Sample Preview");
}

}  // namespace
