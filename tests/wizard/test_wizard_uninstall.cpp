// The real Uninstall.exe driven through its uninstall road, its error page
// and its start-up failure, in the test prefix on the private display.
#include <gtest/gtest.h>

// windows.h must come before commctrl.h.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>

#include "WizardRun.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"

namespace qvtest {
namespace {

// Reads the progress bar of page 103 until the page goes away; keeps each
// new position in order.
std::vector<int> WatchProgress(HWND page) {
    std::vector<int> positions;
    HWND bar = GetDlgItem(page, 1016);
    WaitUntil(
        [&] {
            if (!IsWindow(page) || !IsWindowVisible(page)) return true;
            DWORD_PTR position = 0;
            if (SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position)) {
                if (IsWindow(bar) && (positions.empty() || positions.back() != static_cast<int>(position)))
                    positions.push_back(static_cast<int>(position));
            }
            return false;
        },
        60000);
    return positions;
}

bool ContainsInOrder(const std::vector<int>& positions, const std::vector<int>& expected) {
    size_t next = 0;
    for (int position : positions)
        if (next < expected.size() && position == expected[next]) ++next;
    return next == expected.size();
}

std::wstring Joined(const std::vector<int>& values) {
    std::wstring text;
    for (int value : values) text += std::to_wstring(value) + L" ";
    return text;
}

class UninstallRoad : public WizardRun {
protected:
    void TearDown() override {
        WizardRun::TearDown();
        if (!damagedFolder.empty()) RemoveTree(damagedFolder);
    }

    // The sample's Uninstall.exe becomes a copy whose resource `id` of
    // `type` cannot be used, in a folder of its own.
    void UseDamagedCopy(const wchar_t* type, int id, const std::vector<BYTE>& data) {
        damagedFolder = FreshTestFolder(L"DamagedUninstaller");
        const std::wstring damaged = damagedFolder + L"\\Uninstall.exe";
        ASSERT_TRUE(CopyWithReplacedResource(UninstallExe(), damaged, type, id, data));
        sample.uninstallerSource = damaged;
    }

    // From page 101 with Uninstall through page 103 to page 104.
    HWND RunToSuccessPage() {
        HWND choice = WaitForPage(uninstaller, 101);
        EXPECT_NE(choice, nullptr);
        if (!choice) return nullptr;
        PressAndWaitGone(choice, IDOK);
        HWND removal = WaitForPage(uninstaller, 103);
        EXPECT_NE(removal, nullptr);
        if (!removal) return nullptr;
        WatchProgress(removal);
        return WaitForPage(uninstaller, 104);
    }

    void ExpectInstallationRemoved() {
        for (const std::wstring& file : ListedFilesOf(sample)) {
            EXPECT_FALSE(PathExists(file)) << Narrow(file);
            EXPECT_FALSE(PathExists(CompanionOf(file))) << Narrow(file);
        }
        EXPECT_FALSE(PathExists(InstallFolderOf(sample) + L"uninstall.ini"));
        EXPECT_FALSE(PathExists(InstallFolderOf(sample) + L"MediaFiles.qvd"));
        EXPECT_FALSE(PathExists(PreviewFolderOf(sample)));
        EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, ProductKeyPath(sample)));
        EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, UninstallEntryPath(sample)));
        EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey(sample)));
    }

    void ExpectUninstallerDeletesItself() {
        EXPECT_TRUE(WaitUntil([&] { return !PathExists(InstalledUninstaller()); }));
        EXPECT_TRUE(WaitUntil([] { return !PathExists(L"C:\\QVUninst.bat"); }));
        EXPECT_TRUE(WaitUntil([&] { return !PathExists(sample.installFolder); }));
    }

    std::wstring damagedFolder;
};

TEST_F(UninstallRoad, UninstallRemovesTheInstallationThenTheUninstaller) {
    StartUninstaller();
    HWND choice = WaitForPage(uninstaller, 101);
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(WindowText(choice), sample.displayName + L" - Setup");
    EXPECT_EQ(ControlText(choice, 1026), L"Welcome to Setup for " + sample.displayName + L"!");
    EXPECT_TRUE(IsButtonChecked(choice, 1034));
    EXPECT_FALSE(IsButtonChecked(choice, 1033));
    EXPECT_EQ(FocusedControl(choice), GetDlgItem(choice, 1034));
    PressAndWaitGone(choice, IDOK);

    HWND removal = WaitForPage(uninstaller, 103);
    ASSERT_NE(removal, nullptr);
    EXPECT_EQ(WindowText(removal), L"Uninstalling " + sample.displayName + L"...");
    EXPECT_EQ(ControlText(removal, 1013), L"Uninstalling " + sample.displayName + L"...");
    EXPECT_EQ(ControlText(removal, 1010), L"Uninstall in progress");
    // None of these may stop or shorten the removal.
    ProcessDriver::PressButton(removal, IDCANCEL);
    PostKey(removal, VK_ESCAPE);
    PostCloseBox(removal);
    const std::vector<int> positions = WatchProgress(removal);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << Narrow(Joined(positions));
    EXPECT_TRUE(ContainsInOrder(positions, {10, 40, 60, 70, 100})) << Narrow(Joined(positions));
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.back(), 100);

    HWND success = WaitForPage(uninstaller, 104);
    ASSERT_NE(success, nullptr) << "the Cancel, Escape or close box on page 103 changed the road";
    EXPECT_EQ(WindowText(success), L"Uninstallation Successfully Completed");
    EXPECT_EQ(ControlText(success, 1026),
              sample.displayName + L" has been successfully uninstalled from your computer.");
    ExpectInstallationRemoved();
    ProcessDriver::PressButton(success, IDOK);
    EXPECT_EQ(WaitForExitCode(), 0u);
    ExpectUninstallerDeletesItself();
}

TEST_F(UninstallRoad, EscapeOnTheSuccessPageClosesLikeClose) {
    StartUninstaller();
    HWND success = RunToSuccessPage();
    ASSERT_NE(success, nullptr);
    PostKey(success, VK_ESCAPE);
    EXPECT_EQ(WaitForExitCode(), 0u);
    ExpectUninstallerDeletesItself();
}

TEST_F(UninstallRoad, WhenPage103CannotBeMadeTheErrorPageOffersTryAgainAndFinishEndsWithOne) {
    ASSERT_NO_FATAL_FAILURE(
        UseDamagedCopy(reinterpret_cast<const wchar_t*>(RT_DIALOG), 103, UncreatableDialogTemplate()));
    const std::wstring log = damagedFolder + L"\\wizard.log";
    StartUninstaller(L"/log \"" + log + L"\"");
    HWND choice = WaitForPage(uninstaller, 101);
    ASSERT_NE(choice, nullptr);
    const std::vector<std::wstring> before = SnapshotOf(sample);
    PressAndWaitGone(choice, IDOK);

    HWND error = WaitForPage(uninstaller, 105);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(WindowText(error), L"Error during uninstallation");
    // Escape and the close box leave the page as it is.
    PostKey(error, VK_ESCAPE);
    PostCloseBox(error);
    ASSERT_TRUE(FlushPostedMessages(error));
    EXPECT_TRUE(IsWindowVisible(error));
    EXPECT_FALSE(uninstaller.HasExited());

    // Try Again asks for page 103 once more; it fails again and the error
    // page comes back.
    PressAndWaitGone(error, 1001);
    error = WaitForPage(uninstaller, 105);
    ASSERT_NE(error, nullptr);
    ProcessDriver::PressButton(error, IDOK);
    ExpectEndedWithNothingChanged(1, before);
    // The log's last line explains the wizard's own code in its own words.
    const std::string text = ReadFileBytes(log);
    EXPECT_NE(std::string::npos, text.find("\r\nnote: The error page was closed with Finish.\r\nend: ")) << text;
    const std::string ending = "\r\nexit code 1: the uninstall did not complete.\r\n";
    EXPECT_TRUE(text.size() > ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0)
        << text;
}

TEST_F(UninstallRoad, WhenPage101CannotBeMadeNothingIsRemovedWithoutAChoice) {
    ASSERT_NO_FATAL_FAILURE(
        UseDamagedCopy(reinterpret_cast<const wchar_t*>(RT_DIALOG), 101, UncreatableDialogTemplate()));
    LayOut();
    const std::vector<std::wstring> before = SnapshotOf(sample);
    ASSERT_TRUE(uninstaller.Start(InstalledUninstaller(), InstallFolderOf(sample)));
    ExpectEndedWithNothingChanged(0, before);
}

TEST_F(UninstallRoad, WhenTheMenuCannotBeLoadedTheWindowFailsWithThreeMessagesInOrder) {
    ASSERT_NO_FATAL_FAILURE(UseDamagedCopy(reinterpret_cast<const wchar_t*>(RT_MENU), 1, UnloadableMenuTemplate()));
    StartUninstaller();
    for (const wchar_t* text : {L"Internal Error #004", L"Internal Error #005", L"Internal Error #001"}) {
        HWND box = uninstaller.WaitForWindow(L"#32770", L"Install Error");
        ASSERT_NE(box, nullptr) << Narrow(text);
        const MessageBoxInfo info = ReadMessageBox(box);
        EXPECT_EQ(info.text, text);
        EXPECT_TRUE(info.hasErrorIcon);
        EXPECT_EQ(info.buttons, std::vector<int>{IDOK});
        ProcessDriver::PressButton(box, IDOK);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    }
    EXPECT_EQ(WaitForExitCode(), 0u);
    EXPECT_TRUE(VisiblePages(uninstaller).empty());
}

}  // namespace
}  // namespace qvtest
