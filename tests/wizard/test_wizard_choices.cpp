// The real Uninstall.exe driven through its other roads: the repair launch,
// the "Action Required" page while applications run, and the exit
// confirmation.
#include <gtest/gtest.h>

// windows.h must come before commctrl.h.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <cstdlib>

#include "WizardRun.h"
#include "bench/HeldWindows.h"
#include "bench/TestFiles.h"

namespace qvtest {
namespace {

const wchar_t RepairFolder[] = L"C:\\Program Files\\QvTest Repair";
const wchar_t RepairProgram[] = L"C:\\Program Files\\QvTest Repair\\Repair.exe";
// Where Windows looks first for an unquoted "C:\Program Files\..." command.
const wchar_t PlantedProgram[] = L"C:\\Program.exe";

class RepairRoad : public WizardRun {
protected:
    void SetUp() override {
        WizardRun::SetUp();
        RemoveTree(RepairFolder);
        ASSERT_TRUE(MakeFolders(RepairFolder));
        ASSERT_TRUE(CopyFileW(BuiltProgram(L"FakeRepair.exe").c_str(), RepairProgram, FALSE));
        ASSERT_TRUE(CopyFileW(BuiltProgram(L"FakeRepair.exe").c_str(), PlantedProgram, FALSE));
        DeleteFileW((std::wstring(PlantedProgram) + L".log").c_str());
    }
    void TearDown() override {
        WizardRun::TearDown();
        RemoveTree(RepairFolder);
        DeleteFileW(PlantedProgram);
        DeleteFileW((std::wstring(PlantedProgram) + L".log").c_str());
    }

    HWND ChooseRepairAndPressNext() {
        HWND choice = WaitForPage(uninstaller, 101);
        EXPECT_NE(choice, nullptr);
        if (!choice) return nullptr;
        SendDlgItemMessageW(choice, 1033, BM_CLICK, 0, 0);
        EXPECT_TRUE(IsButtonChecked(choice, 1033));
        EXPECT_FALSE(IsButtonChecked(choice, 1034));
        ProcessDriver::PressButton(choice, IDOK);
        return choice;
    }

    // The repair program ran exactly as the uninstaller must start it, the
    // uninstaller ended with 0 and everything stayed.
    void ExpectRepairStartedAndNothingRemoved(const std::vector<std::wstring>& before) {
        const std::wstring log = std::wstring(RepairProgram) + L".log";
        ASSERT_TRUE(WaitUntil([&] { return PathExists(log); }));
        const std::string expected = "\"" + Narrow(RepairProgram) + "\" /r " + Narrow(sample.installFolder) + "\n" +
                                     Narrow(sample.installFolder) + "\n";
        EXPECT_EQ(ReadFileBytes(log), expected);
        EXPECT_FALSE(PathExists(std::wstring(PlantedProgram) + L".log"));
        EXPECT_EQ(WaitForExitCode(), 0u);
        EXPECT_EQ(SnapshotOf(sample), before);
        EXPECT_TRUE(PathExists(InstalledUninstaller()));
        EXPECT_FALSE(PathExists(L"C:\\QVUninst.bat"));
    }
};

TEST_F(RepairRoad, NextWithRepairStartsTheRepairProgramQuotedAndEnds) {
    sample.repairProgram = RepairProgram;
    const std::wstring wizardLog = FreshTestFolder(L"RepairRoadLog") + L"\\wizard.log";
    StartUninstaller(L"/log \"" + wizardLog + L"\"");
    const std::vector<std::wstring> before = SnapshotOf(sample);
    HWND choice = ChooseRepairAndPressNext();
    ASSERT_NE(choice, nullptr);
    // No page follows the repair launch.
    bool anotherPage = false;
    WaitUntil([&] {
        for (HWND page : VisiblePages(uninstaller)) anotherPage = anotherPage || page != choice;
        return uninstaller.HasExited();
    });
    EXPECT_FALSE(anotherPage);
    ExpectRepairStartedAndNothingRemoved(before);
    const std::string text = ReadFileBytes(wizardLog);
    EXPECT_NE(std::string::npos,
              text.find("\r\nnote: The repair program was started: nothing was removed.\r\nexit code 0: "))
        << text;
}

TEST_F(RepairRoad, AMissingRepairProgramIsAskedForAndCanBeChosen) {
    sample.repairProgram = L"C:\\QvTest\\NoRepairHere\\Repair.exe";
    StartUninstaller();
    const std::vector<std::wstring> before = SnapshotOf(sample);
    HWND choice = ChooseRepairAndPressNext();
    ASSERT_NE(choice, nullptr);

    // Cancel on the message keeps page 101 with Repair chosen.
    HWND box = uninstaller.WaitForWindow(L"#32770", L"Installation");
    ASSERT_NE(box, nullptr);
    MessageBoxInfo info = ReadMessageBox(box);
    EXPECT_EQ(info.text, L"The repair program of " + sample.displayName +
                             L" cannot be found.\n\nClick Retry to locate it yourself, or Cancel to go back.");
    EXPECT_EQ(info.buttons, (std::vector<int>{IDRETRY, IDCANCEL}));
    EXPECT_TRUE(info.hasWarningIcon);
    ProcessDriver::PressButton(box, IDCANCEL);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    ASSERT_TRUE(FlushPostedMessages(choice));
    EXPECT_TRUE(IsWindowVisible(choice));
    EXPECT_TRUE(IsButtonChecked(choice, 1033));

    // Retry opens the open-file dialog; the chosen program is started.
    ProcessDriver::PressButton(choice, IDOK);
    box = uninstaller.WaitForWindow(L"#32770", L"Installation");
    ASSERT_NE(box, nullptr);
    ProcessDriver::PressButton(box, IDRETRY);
    HWND open = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND window : uninstaller.TopLevelWindows())
            if (WindowClass(window) == L"#32770" && !PageTemplateOf(window) &&
                (GetDlgItem(window, 0x47C) || GetDlgItem(window, 0x480)))
                open = window;
        return open != nullptr;
    }));
    // The file name box: a plain edit (edt1) or the edit inside the
    // extended combo box (cmb13) of the Explorer-style dialog.
    HWND name = GetDlgItem(open, 0x480);
    if (!name && GetDlgItem(open, 0x47C))
        name = reinterpret_cast<HWND>(SendDlgItemMessageW(open, 0x47C, CBEM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(name, nullptr);
    // The dialog starts from the configured (missing) program.
    EXPECT_NE(WindowText(name).find(L"Repair.exe"), std::wstring::npos);
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(RepairProgram));
    ProcessDriver::PressButton(open, IDOK);
    ExpectRepairStartedAndNothingRemoved(before);
}

struct RunningCase {
    const char* name;
    std::vector<HeldWindow> windows;
    bool visualStudioLine;
    bool productLine;
};

void PrintTo(const RunningCase& running, std::ostream* out) {
    *out << running.name;
}

class ActionRequiredRoad : public WizardRun, public ::testing::WithParamInterface<RunningCase> {};

TEST_P(ActionRequiredRoad, ShowsTheRunningApplicationsUntilTheyAreClosed) {
    const RunningCase& running = GetParam();
    HeldWindows holder;
    ASSERT_TRUE(holder.Open(running.windows));
    StartUninstaller();
    HWND choice = WaitForPage(uninstaller, 101);
    ASSERT_NE(choice, nullptr);
    PressAndWaitGone(choice, IDOK);

    HWND action = WaitForPage(uninstaller, 102);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(WindowText(action), sample.displayName + L" - Setup");
    EXPECT_EQ(IsWindowVisible(GetDlgItem(action, 1039)) != FALSE, running.visualStudioLine);
    EXPECT_EQ(IsWindowVisible(GetDlgItem(action, 1086)) != FALSE, running.visualStudioLine);
    EXPECT_EQ(IsWindowVisible(GetDlgItem(action, 1041)) != FALSE, running.productLine);
    EXPECT_EQ(IsWindowVisible(GetDlgItem(action, 1087)) != FALSE, running.productLine);

    // Next while they still run: the page comes again.
    PressAndWaitGone(action, IDOK);
    action = WaitForPage(uninstaller, 102);
    ASSERT_NE(action, nullptr);

    // Once they are closed, Next goes on to the removal.
    holder.Close();
    PressAndWaitGone(action, IDOK);
    EXPECT_NE(WaitForPage(uninstaller, 103), nullptr);
    HWND success = WaitForPage(uninstaller, 104);
    ASSERT_NE(success, nullptr);
    ProcessDriver::PressButton(success, IDOK);
    EXPECT_EQ(WaitForExitCode(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ActionRequiredRoad,
    ::testing::Values(
        RunningCase{
            "VisualStudioClass", {{L"wndclass_desked_gsk", L"Solution1 - Microsoft Visual Studio", true}}, true, false},
        RunningCase{"Product", {{L"QVGlyphSmithClass", L"GlyphSmith", true}}, false, true},
        RunningCase{
            "Both", {{L"wndclass_desked_gsk", L"", false}, {L"QVGlyphSmithClass", L"GlyphSmith", true}}, true, true},
        RunningCase{
            "VisualStudioTitle", {{L"QvTestBrowserFrame", L"Microsoft Visual Studio - Browser", true}}, true, false}),
    [](const ::testing::TestParamInfo<RunningCase>& info) { return std::string(info.param.name); });

TEST_F(WizardRun, AThumbnailWithTheVisualStudioTitleDoesNotCount) {
    HeldWindows holder;
    ASSERT_TRUE(holder.Open({{L"QvTestThumbnailClass", L"Microsoft Visual Studio", true}}));
    StartUninstaller();
    HWND choice = WaitForPage(uninstaller, 101);
    ASSERT_NE(choice, nullptr);
    PressAndWaitGone(choice, IDOK);
    HWND next = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND page : VisiblePages(uninstaller))
            if (PageTemplateOf(page) == 102 || PageTemplateOf(page) == 103) next = page;
        return next != nullptr;
    }));
    EXPECT_EQ(PageTemplateOf(next), 103);
    HWND success = WaitForPage(uninstaller, 104);
    ASSERT_NE(success, nullptr);
    ProcessDriver::PressButton(success, IDOK);
    EXPECT_EQ(WaitForExitCode(), 0u);
}

TEST_F(WizardRun, TheMainWindowIsAnOutOfSightOwnerOfThePages) {
    StartUninstaller();
    HWND choice = WaitForPage(uninstaller, 101);
    ASSERT_NE(choice, nullptr);
    HWND frame = GetWindow(choice, GW_OWNER);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(WindowText(frame), L"Quorvex Installation");
    EXPECT_TRUE(IsWindowVisible(frame));
    EXPECT_NE(GetMenu(frame), nullptr);
    // Shown, but moved below the screen: to 2048, or just below the bottom
    // of a taller virtual screen. (It asks for 1 by 1 pixel; the system
    // keeps a window with a title bar at its smallest track size.) CTest
    // also runs this on a screen 2560 pixels tall.
    if (const char* height = std::getenv("QV_EXPECTED_SCREEN_HEIGHT"))
        ASSERT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), std::atoi(height));
    const RECT screen = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                         GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                         GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    RECT placed, overlap;
    ASSERT_TRUE(GetWindowRect(frame, &placed));
    EXPECT_EQ(placed.left, 0);
    EXPECT_EQ(placed.top, std::max<LONG>(2048, screen.bottom));
    EXPECT_FALSE(IntersectRect(&overlap, &placed, &screen)) << "visible at the screen's bottom";
    EXPECT_LE(placed.right - placed.left, GetSystemMetrics(SM_CXMINTRACK));
    // While the page runs, its owner takes no input.
    EXPECT_FALSE(IsWindowEnabled(frame));
}

TEST_F(WizardRun, ACloseRequestToTheMainWindowGoesToTheOpenPage) {
    // Closing the hidden main window from outside must not take the open
    // page with it: page 101 answers the request like its close box, by
    // asking whether to quit.
    StartUninstaller();
    HWND choice = WaitForPage(uninstaller, 101);
    ASSERT_NE(choice, nullptr);
    HWND frame = GetWindow(choice, GW_OWNER);
    ASSERT_NE(frame, nullptr);
    PostMessageW(frame, WM_CLOSE, 0, 0);
    HWND confirm = WaitForPage(uninstaller, 106);
    ASSERT_NE(confirm, nullptr);
    EXPECT_TRUE(IsWindow(frame));
    EXPECT_TRUE(IsWindow(choice));
    ProcessDriver::PressButton(confirm, IDOK);
    EXPECT_EQ(WaitForExitCode(), 0u);
}

class ExitConfirmation : public WizardRun {
protected:
    // The wizard with a log, which must say that nothing was removed and why.
    void StartWithLog() {
        log = FreshTestFolder(L"ExitConfirmationLog") + L"\\wizard.log";
        StartUninstaller(L"/log \"" + log + L"\"");
    }

    // Cancel on the page opens page 106 at its template place on the page.
    HWND CancelAndFindConfirmation(HWND page) {
        ProcessDriver::PressButton(page, IDCANCEL);
        HWND confirm = WaitForPage(uninstaller, 106);
        EXPECT_NE(confirm, nullptr);
        if (!confirm) return nullptr;
        EXPECT_EQ(WindowText(confirm), L" Exit Setup");
        EXPECT_EQ(ControlText(confirm, 1026),
                  L"Are you sure you want to quit the Setup procedure for " + sample.displayName + L"?");
        EXPECT_EQ(GetWindow(confirm, GW_OWNER), page);
        const POINT expected = TemplatePositionOnOwner(UninstallExe(), 106, page);
        // The template's x and y place the client area, as for any dialog.
        POINT placed = {0, 0};
        ClientToScreen(confirm, &placed);
        EXPECT_EQ(placed.x, expected.x);
        EXPECT_EQ(placed.y, expected.y);
        return confirm;
    }

    void NoKeepsThePageYesEndsWithNothingChanged(HWND page) {
        const std::vector<std::wstring> before = SnapshotOf(sample);
        HWND confirm = CancelAndFindConfirmation(page);
        ASSERT_NE(confirm, nullptr);
        PressAndWaitGone(confirm, IDCANCEL);
        ASSERT_TRUE(FlushPostedMessages(page));
        EXPECT_TRUE(IsWindowVisible(page));

        confirm = CancelAndFindConfirmation(page);
        ASSERT_NE(confirm, nullptr);
        ProcessDriver::PressButton(confirm, IDOK);
        EXPECT_EQ(WaitForExitCode(), 0u);
        EXPECT_EQ(SnapshotOf(sample), before);
        EXPECT_TRUE(PathExists(InstalledUninstaller()));
        EXPECT_FALSE(PathExists(L"C:\\QVUninst.bat"));
        const std::string text = ReadFileBytes(log);
        EXPECT_EQ(std::string::npos, text.find("\r\nremoved: ")) << text;
        EXPECT_NE(std::string::npos,
                  text.find("\r\nnote: The uninstall was cancelled: nothing was changed.\r\nexit code 0: "))
            << text;
    }

    std::wstring log;
};

TEST_F(ExitConfirmation, OnTheMaintenancePage) {
    StartWithLog();
    HWND choice = WaitForPage(uninstaller, 101);
    ASSERT_NE(choice, nullptr);
    NoKeepsThePageYesEndsWithNothingChanged(choice);
}

TEST_F(ExitConfirmation, OnTheActionRequiredPage) {
    HeldWindows holder;
    ASSERT_TRUE(holder.Open({{L"QVGlyphSmithClass", L"GlyphSmith", true}}));
    StartWithLog();
    HWND choice = WaitForPage(uninstaller, 101);
    ASSERT_NE(choice, nullptr);
    PressAndWaitGone(choice, IDOK);
    HWND action = WaitForPage(uninstaller, 102);
    ASSERT_NE(action, nullptr);
    NoKeepsThePageYesEndsWithNothingChanged(action);
}

TEST_F(ExitConfirmation, EscapeAndTheCloseBoxMeanNo) {
    StartUninstaller();
    HWND choice = WaitForPage(uninstaller, 101);
    ASSERT_NE(choice, nullptr);
    HWND confirm = CancelAndFindConfirmation(choice);
    ASSERT_NE(confirm, nullptr);
    PostKey(confirm, VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(confirm); }));
    confirm = CancelAndFindConfirmation(choice);
    ASSERT_NE(confirm, nullptr);
    PostCloseBox(confirm);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(confirm); }));
    ASSERT_TRUE(FlushPostedMessages(choice));
    EXPECT_TRUE(IsWindowVisible(choice));
    EXPECT_FALSE(uninstaller.HasExited());
}

}  // namespace
}  // namespace qvtest
