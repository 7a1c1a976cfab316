// The real Uninstall.exe driven through its other roads: the repair launch,
// the "Action Required" page while applications run, the hidden main
// window, and every way to quit through the exit confirmation.
#include <gtest/gtest.h>

// windows.h must come before commctrl.h.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
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
        ExpectEndedWithNothingChanged(0, before);
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
              text.find("\r\nnote: The repair program was started: nothing was removed.\r\nend: "))
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
    // The open-file dialog is found by being the one new dialog, and its
    // controls are looked up only once its thread answers a sent message:
    // listing the children of a dialog while another process creates them
    // can send the wine server into an endless loop over a child that is
    // not yet linked to its siblings.
    HWND open = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND window : uninstaller.TopLevelWindows())
            if (window != choice && window != box && WindowClass(window) == L"#32770") open = window;
        return open != nullptr;
    }));
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(open, WM_NULL, 0, 0, SMTO_NORMAL, DefaultWaitMs, &answer));
    ASSERT_TRUE(WaitUntil([&] { return GetDlgItem(open, 0x47C) || GetDlgItem(open, 0x480); }));
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

// Every way to ask to quit, and every answer. A page asks through its Cancel
// button, or answers a close request sent to the hidden main window from
// outside (which must not take the page with it); page 106 then opens at its
// template place on the page. No, Escape and its close box keep the page;
// Yes ends the wizard with 0 and nothing changed, says why in the log, and
// leaves no folder of the maker's behind. The wizard came up without any
// message.
enum class Ask { CancelButton, MainWindowClose };
enum class Answer { No, Escape, CloseBox };

struct QuitCase {
    const char* name;
    int page;  // 101, or 102 while the product runs
    Ask ask;
    std::vector<Answer> keeping;  // the answers that keep the page, one after the other, before Yes
};

void PrintTo(const QuitCase& c, std::ostream* out) {
    *out << c.name;
}

class ExitConfirmation : public WizardRun, public ::testing::WithParamInterface<QuitCase> {
protected:
    void SetUp() override {
        WizardRun::SetUp();
        // The maker's folder in the user's application data is the work
        // folder's write test: the preview folder lies elsewhere so that
        // nothing else makes it.
        sample.previewFolder = L"C:\\QvTest\\Exit Preview\\Temporary Preview Files";
        wchar_t localAppData[MAX_PATH] = L"";
        ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, localAppData));
        makersFolder = std::wstring(localAppData) + L"\\Quorvex";
        RemoveDirectoryW(makersFolder.c_str());  // only when empty
        makersFolderBefore = ListTree(makersFolder);
        makersFolderExisted = PathExists(makersFolder);
    }
    void TearDown() override {
        WizardRun::TearDown();
        RemoveTree(L"C:\\QvTest\\Exit Preview");
    }

    // Asks to quit the page; page 106 opens at its template place on it.
    HWND AskToQuit(HWND page, Ask ask) {
        HWND frame = GetWindow(page, GW_OWNER);
        EXPECT_NE(frame, nullptr);
        if (ask == Ask::CancelButton)
            ProcessDriver::PressButton(page, IDCANCEL);
        else
            PostMessageW(frame, WM_CLOSE, 0, 0);
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
        EXPECT_TRUE(IsWindow(page));
        EXPECT_TRUE(IsWindow(frame));
        return confirm;
    }

    std::wstring makersFolder;
    std::vector<std::wstring> makersFolderBefore;
    bool makersFolderExisted = false;
};

TEST_P(ExitConfirmation, NoEscapeAndTheCloseBoxKeepThePageYesEndsWithNothingChanged) {
    const QuitCase& c = GetParam();
    HeldWindows holder;
    if (c.page == 102) ASSERT_TRUE(holder.Open({{L"QVGlyphSmithClass", L"GlyphSmith", true}}));
    const std::wstring log = FreshTestFolder(L"ExitConfirmationLog") + L"\\wizard.log";
    LayOut();
    // From here on, start-up included, nothing changes.
    const std::vector<std::wstring> before = SnapshotOf(sample);
    ASSERT_TRUE(uninstaller.Start(InstalledUninstaller(), InstallFolderOf(sample), L"/log \"" + log + L"\""));
    HWND page = WaitForPage(uninstaller, 101);
    ASSERT_NE(page, nullptr);
    for (HWND window : uninstaller.TopLevelWindows())
        EXPECT_TRUE(window == page || WindowClass(window) != L"#32770") << "a message: " << Narrow(WindowText(window));
    if (c.page == 102) {
        PressAndWaitGone(page, IDOK);
        page = WaitForPage(uninstaller, 102);
        ASSERT_NE(page, nullptr);
    }

    for (const Answer answer : c.keeping) {
        HWND confirm = AskToQuit(page, c.ask);
        ASSERT_NE(confirm, nullptr);
        if (answer == Answer::No)
            ProcessDriver::PressButton(confirm, IDCANCEL);
        else if (answer == Answer::Escape)
            PostKey(confirm, VK_ESCAPE);
        else
            PostCloseBox(confirm);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(confirm) || !IsWindowVisible(confirm); }));
        ASSERT_TRUE(FlushPostedMessages(page));
        EXPECT_TRUE(IsWindowVisible(page));
        EXPECT_FALSE(uninstaller.HasExited());
    }

    HWND confirm = AskToQuit(page, c.ask);
    ASSERT_NE(confirm, nullptr);
    ProcessDriver::PressButton(confirm, IDOK);
    ExpectEndedWithNothingChanged(0, before);
    const std::string text = ReadFileBytes(log);
    EXPECT_EQ(std::string::npos, text.find("\r\nremoved: ")) << text;
    EXPECT_NE(std::string::npos,
              text.find("\r\nnote: The uninstall was cancelled: nothing was changed.\r\nend: "))
        << text;
    EXPECT_EQ(makersFolderExisted, PathExists(makersFolder)) << "the maker's folder made or removed";
    EXPECT_EQ(makersFolderBefore, ListTree(makersFolder));
}

INSTANTIATE_TEST_SUITE_P(
    EveryWay, ExitConfirmation,
    ::testing::Values(
        QuitCase{"CancelOnTheMaintenancePage", 101, Ask::CancelButton, {Answer::No, Answer::Escape, Answer::CloseBox}},
        QuitCase{"CancelOnTheActionRequiredPage", 102, Ask::CancelButton, {Answer::No}},
        QuitCase{"CloseRequestToTheMainWindow", 101, Ask::MainWindowClose, {Answer::No}}),
    [](const ::testing::TestParamInfo<QuitCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qvtest
