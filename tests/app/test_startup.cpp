// Start-up of the real Uninstall.exe under Wine on the sample installation:
// every failure to read the installation (uninstall.ini missing, without its
// "args" entry or with a damaged one, no install record), met by the wizard
// and by a quiet run, and a second wizard while another uninstall runs. The
// wizard shows one error message and ends with 0; a quiet run shows nothing,
// ends with the failure's exit code and logs why. Either way nothing is
// changed.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <tuple>

#include "WizardRun.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"
#include "support/Handles.h"

namespace qvtest {
namespace {

const wchar_t Logs[] = L"C:\\QvTest\\Startup Logs";

enum class Mode { Wizard, Quiet };

enum class Match { Whole, Start, Part };

struct StartupFailure {
    const char* name;
    // What breaks the laid-out installation: the text that replaces its
    // uninstall.ini (null: the file is deleted), unless the record goes.
    const char* ini;
    bool recordDeleted;
    // The wizard's message, and how much of its text that is.
    const wchar_t* message;
    Match match;
    // The quiet run's exit code and its line of the log.
    DWORD exitCode;
    const char* logged;
};

const StartupFailure Failures[] = {
    {"NoSettingsFile", nullptr, false, L"ERROR: Can't find uninstall.ini", Match::Whole, ERROR_UNKNOWN_PRODUCT,
     "note: ERROR: Can't find uninstall.ini\r\n"},
    {"NoArgsEntry", "[uninstall]\r\nrepair=C:\\Setup\\Repair.exe\r\n", false, L"ERROR: Can't find uninstall.ini",
     Match::Whole, ERROR_UNKNOWN_PRODUCT, "note: ERROR: Can't find uninstall.ini\r\n"},
    {"EmptyArgsEntry", "[uninstall]\r\nargs=\r\n", false, L"ERROR: Can't find uninstall.ini", Match::Whole,
     ERROR_UNKNOWN_PRODUCT, "note: ERROR: Can't find uninstall.ini\r\n"},
    {"ArgsInAnotherSection", "[other]\r\nargs=\"a\" \"b\"\r\n", false, L"ERROR: Can't find uninstall.ini", Match::Whole,
     ERROR_UNKNOWN_PRODUCT, "note: ERROR: Can't find uninstall.ini\r\n"},
    {"NoInstallRecord", nullptr, true, L"Quorvex GlyphSmith is not installed on this computer", Match::Start,
     ERROR_UNKNOWN_PRODUCT, "note: Quorvex GlyphSmith is not installed"},
    {"ArgsWithoutQuotationMarks", "[uninstall]\r\nargs=GlyphSmith\r\n", false,
     L"\"args\" entry of uninstall.ini is damaged", Match::Part, ERROR_BAD_CONFIGURATION,
     "note: ERROR: The \"args\" entry"},
    {"ArgsWithOneField", "[uninstall]\r\nargs=\"GlyphSmith\"\r\n", false, L"\"args\" entry of uninstall.ini is damaged",
     Match::Part, ERROR_BAD_CONFIGURATION, "note: ERROR: The \"args\" entry"},
    {"ArgsWithOneQuotationMark", "[uninstall]\r\nargs=Glyph\"Smith\r\n", false,
     L"\"args\" entry of uninstall.ini is damaged", Match::Part, ERROR_BAD_CONFIGURATION,
     "note: ERROR: The \"args\" entry"},
};

void PrintTo(Mode mode, std::ostream* out) {
    *out << (mode == Mode::Wizard ? "Wizard" : "Quiet");
}

void PrintTo(const StartupFailure& c, std::ostream* out) {
    *out << c.name;
}

class StartupFailureTest : public WizardRun, public ::testing::WithParamInterface<std::tuple<Mode, StartupFailure>> {
protected:
    void SetUp() override {
        WizardRun::SetUp();
        RemoveTree(Logs);
        ASSERT_TRUE(MakeFolders(Logs));
    }
    void TearDown() override {
        WizardRun::TearDown();
        RemoveTree(Logs);
    }

    // Runs the wizard, answering every message box with its first button,
    // until the process ends; the boxes it showed.
    std::vector<MessageBoxInfo> RunAnswered() {
        std::vector<MessageBoxInfo> boxes;
        EXPECT_TRUE(uninstaller.Start(InstalledUninstaller(), InstallFolderOf(sample)));
        for (int round = 0; round < 5 && !uninstaller.HasExited(); ++round) {
            HWND box = uninstaller.WaitForWindow(L"#32770", L"");
            if (!box) break;
            const MessageBoxInfo info = ReadMessageBox(box);
            boxes.push_back(info);
            EXPECT_FALSE(info.buttons.empty());
            if (info.buttons.empty()) break;
            ProcessDriver::PressButton(box, info.buttons.front());
            WaitUntil([&] { return !IsWindow(box) || uninstaller.HasExited(); });
        }
        return boxes;
    }
};

TEST_P(StartupFailureTest, TheWizardSaysWhyAQuietRunEndsWithItsCodeAndNothingChanges) {
    const Mode mode = std::get<0>(GetParam());
    const StartupFailure& c = std::get<1>(GetParam());
    LayOut();
    const std::wstring ini = InstallFolderOf(sample) + L"uninstall.ini";
    if (c.recordDeleted)
        DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKeyPath(sample));
    else if (c.ini)
        ASSERT_TRUE(WriteFileBytes(ini, c.ini));
    else
        ASSERT_TRUE(DeleteFileW(ini.c_str()));
    const std::vector<std::wstring> before = SnapshotOf(sample);

    if (mode == Mode::Wizard) {
        const std::vector<MessageBoxInfo> boxes = RunAnswered();
        ExpectEndedWithNothingChanged(0, before);
        ASSERT_EQ(1u, boxes.size());
        const std::wstring& text = boxes[0].text;
        if (c.match == Match::Whole)
            EXPECT_EQ(c.message, text);
        else if (c.match == Match::Start)
            EXPECT_EQ(0u, text.find(c.message)) << Narrow(text);
        else
            EXPECT_NE(std::wstring::npos, text.find(c.message)) << Narrow(text);
        EXPECT_EQ(std::wstring::npos, text.find(L"{")) << "macros expanded: " << Narrow(text);
        EXPECT_EQ(L"Installation", boxes[0].caption);
        EXPECT_TRUE(boxes[0].hasErrorIcon);
        EXPECT_EQ(std::vector<int>{IDOK}, boxes[0].buttons);
    } else {
        const std::wstring log = std::wstring(Logs) + L"\\startup.log";
        RunUnattended(L"/quiet /log \"" + log + L"\"");
        ExpectEndedWithNothingChanged(c.exitCode, before);
        const std::string text = ReadFileBytes(log);
        EXPECT_NE(std::string::npos, text.find(std::string("\r\n") + c.logged)) << text;
        EXPECT_NE(std::string::npos, text.find("\r\nexit code " + std::to_string(c.exitCode) + ": ")) << text;
    }
}

// A second wizard while another uninstall of the product runs (it holds the
// product's mutex) says so in one box and ends with
// ERROR_INSTALL_ALREADY_RUNNING, changing nothing. That holds too where the
// other run has already removed the product's key, which the record is read
// from: the product named by uninstall.ini decides.
TEST_F(StartupFailureTest, ASecondWizardSaysAnotherUninstallRuns) {
    for (const bool keyRemoved : {false, true}) {
        SCOPED_TRACE(keyRemoved ? "key removed" : "record intact");
        LayOut();
        if (keyRemoved) DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKeyPath(sample));
        CKernelHandle running(CreateMutexW(nullptr, TRUE, (L"Global\\Quorvex Uninstall " + sample.productKey).c_str()));
        ASSERT_TRUE(running);
        const std::vector<std::wstring> before = SnapshotOf(sample);
        const std::vector<MessageBoxInfo> boxes = RunAnswered();
        ExpectEndedWithNothingChanged(ERROR_INSTALL_ALREADY_RUNNING, before);
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(L"Another uninstall of this product is running. Nothing was removed.", boxes[0].text);
        EXPECT_FALSE(boxes[0].hasErrorIcon);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFailureInBothModes, StartupFailureTest,
                         ::testing::Combine(::testing::Values(Mode::Wizard, Mode::Quiet),
                                            ::testing::ValuesIn(Failures)),
                         [](const ::testing::TestParamInfo<std::tuple<Mode, StartupFailure>>& info) {
                             return std::string(std::get<0>(info.param) == Mode::Wizard ? "Wizard" : "Quiet") + "_" +
                                    std::get<1>(info.param).name;
                         });

}  // namespace
}  // namespace qvtest
