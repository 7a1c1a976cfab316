// The real Uninstall.exe run unattended (/quiet, /S, /plan) on the sample
// installation: no window at any point, the wizard's end state, and one exit
// code for every outcome (those of start-up in test_startup.cpp); and the
// wizard's answer to a command line it does not understand.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <functional>

#include "FakeVisualStudio.h"
#include "WizardRun.h"
#include "bench/HeldWindows.h"
#include "bench/LogLines.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"
#include "support/Handles.h"

namespace qvtest {
namespace {

const wchar_t Batch[] = L"C:\\QVUninst.bat";
const wchar_t Logs[] = L"C:\\QvTest\\Quiet Logs";

class QuietRun : public WizardRun {
protected:
    void SetUp() override {
        WizardRun::SetUp();
        sample.visualStudioVersions = {L"9.0"};
        sample.visualStudioRoot = L"C:\\QvTest\\Quiet VS\\Microsoft Visual Studio";
        sample.devenvSource = BuiltProgram(L"helpers\\devenv.exe");
        RemoveTree(Logs);
        ASSERT_TRUE(MakeFolders(Logs));
    }
    void TearDown() override {
        WizardRun::TearDown();
        RemoveTree(Logs);
        RemoveTree(L"C:\\QvTest\\Quiet VS");
    }
    // What the uninstaller may change, and what it leaves of itself.
    std::vector<std::wstring> EndState() {
        std::vector<std::wstring> state = SnapshotOf(sample);
        for (const auto& key : AddinKeysOf(L"9.0"))
            if (RegKeyExists(key.first, key.second)) state.push_back(L"add-in key " + key.second);
        for (const auto& key : NeighbourAddinKeysOf(L"9.0"))
            if (RegKeyExists(key.first, key.second)) state.push_back(L"neighbour key " + key.second);
        if (PathExists(InstalledUninstaller())) state.push_back(L"Uninstall.exe");
        if (PathExists(sample.installFolder)) state.push_back(L"install folder");
        if (PathExists(Batch)) state.push_back(L"batch");
        return state;
    }
    void WaitForSelfDeletion() {
        EXPECT_TRUE(WaitUntil([&] { return !PathExists(sample.installFolder) && !PathExists(Batch); }));
    }
};

// The wizard's road with a log, then /quiet on the same installation: the
// same removal, Visual Studio's add-in and setup run included, and the same
// self-deletion, without a window.
TEST_F(QuietRun, RemovesWhatTheWizardRemovesWithoutAWindow) {
    FakeDevenvLog devenv(Logs);
    const std::wstring wizardLog = std::wstring(Logs) + L"\\wizard.log";
    LayOut();
    const std::vector<std::wstring> installed = EndState();
    ASSERT_TRUE(uninstaller.Start(InstalledUninstaller(), InstallFolderOf(sample), L"/log \"" + wizardLog + L"\""));
    HWND choice = WaitForPage(uninstaller, 101);
    ASSERT_NE(choice, nullptr);
    PressAndWaitGone(choice, IDOK);
    HWND success = WaitForPage(uninstaller, 104, 60000);
    ASSERT_NE(success, nullptr);
    ProcessDriver::PressButton(success, IDOK);
    EXPECT_EQ(0u, WaitForExitCode());
    WaitForSelfDeletion();
    const std::vector<std::wstring> afterWizard = EndState();
    ASSERT_NE(installed, afterWizard);
    ASSERT_TRUE(devenv.WaitForLines(1));

    LayOut();
    ASSERT_EQ(installed, EndState());
    DeleteFileW(L"C:\\u.log");
    const WatchedRun run = RunUnattended(L"/quiet /log C:\\u.log");
    EXPECT_EQ(0u, run.exitCode);
    WaitForSelfDeletion();
    EXPECT_EQ(Joined(afterWizard), Joined(EndState()));
    ASSERT_TRUE(devenv.WaitForLines(2)) << "the setup run of the add-in step";

    const struct {
        std::wstring log;
        const char* mode;
    } logs[] = {{wizardLog, "wizard"}, {L"C:\\u.log", "quiet"}};
    for (const auto& [log, mode] : logs) {
        const std::string text = ReadFileBytes(log);
        EXPECT_NE(std::string::npos, text.find(std::string("\r\nmode: ") + mode + "\r\n")) << Narrow(log);
        for (const char* field :
             {"program: ", "command line: ", "account: ", "computer: ", "display name: ", "preview folder: ", "end: "})
            EXPECT_NE(std::string::npos, text.find(std::string("\r\n") + field)) << field << " in " << Narrow(log);
        // The totals count the action lines.
        char totals[160];
        snprintf(totals, sizeof totals, "\r\ntotals: removed %zu, absent %zu, kept %zu, skipped %zu\r\n",
                 LogLinesWithOutcome(log, "removed").size(), LogLinesWithOutcome(log, "absent").size(),
                 LogLinesWithOutcome(log, "kept").size(), LogLinesWithOutcome(log, "skipped").size());
        EXPECT_NE(0u, LogLinesWithOutcome(log, "removed").size());
        EXPECT_NE(std::string::npos, text.find(totals)) << totals << text;
        EXPECT_EQ(0u, text.find("\xEF\xBB\xBFGlyphSmith uninstall log\r\ndate: ")) << Narrow(log);
        EXPECT_NE(std::string::npos, text.find("\r\nproduct key: " + Narrow(sample.productKey) + "\r\n"));
        EXPECT_NE(std::string::npos, text.find("\r\ninstall folder: " + Narrow(InstallFolderOf(sample)) + "\r\n"));
        EXPECT_NE(std::string::npos, text.find("\r\nremoved: visual studio \"Visual Studio 9.0 add-in\" - error 0: "));
        EXPECT_NE(std::string::npos, text.find("\r\nexit code 0: ")) << Narrow(log);
    }
    DeleteFileW(L"C:\\u.log");
}

// Every refusal of the command line or of running applications: it changes
// nothing, and says why in its exit code, without a window.
TEST_F(QuietRun, RefusalsChangeNothingAndSayWhyInTheExitCode) {
    const std::wstring log = std::wstring(Logs) + L"\\refused.log";
    const std::wstring linked = std::wstring(Logs) + L"\\Linked";
    const std::wstring victim = L"C:\\QvTest\\Quiet VS\\Victim";
    HeldWindows holder;
    CKernelHandle running;
    const struct {
        const char* name;
        std::function<void()> prepare;
        std::wstring arguments;
        DWORD exitCode;
        const char* logged;  // a line of the log, or null when no log is written
    } cases[] = {
        {"unknown argument", [] {}, L"/quiet /uninstall", ERROR_INVALID_COMMAND_LINE, nullptr},
        {"/S /log without a file", [] {}, L"/S /log", ERROR_INVALID_COMMAND_LINE, nullptr},
        {"/plan without a file", [] {}, L"/plan", ERROR_INVALID_COMMAND_LINE, nullptr},
        {"unknown argument with a log", [] {}, L"/qn /bogus /l*v \"" + log + L"\"", ERROR_INVALID_COMMAND_LINE,
         "note: The command line is not understood: unknown argument \"/bogus\""},
        {"usage", [] {}, L"/VERYSILENT /? /LOG=\"" + log + L"\"", ERROR_SUCCESS, "note: Uninstall.exe [/quiet | /qn"},
        {"log in the install folder", [] {}, L"/quiet /log \"" + InstallFolderOf(sample) + L"u.log\"",
         ERROR_INSTALL_LOG_FAILURE, nullptr},
        {"plan in the preview folder", [] {}, L"/plan \"" + PreviewFolderOf(sample) + L"\\A\\p.txt\"",
         ERROR_INSTALL_LOG_FAILURE, nullptr},
        {"log below a folder link", [&] { ASSERT_TRUE(PlantLink(linked, victim)); },
         L"/S /log \"" + linked + L"\\u.log\"", ERROR_INSTALL_LOG_FAILURE, nullptr},
        {"another uninstall of the product running",
         [&] {
             running.Reset(CreateMutexW(nullptr, TRUE, (L"Global\\Quorvex Uninstall " + sample.productKey).c_str()));
             ASSERT_TRUE(running);
         },
         L"/quiet /norestart /log \"" + log + L"\"", ERROR_INSTALL_ALREADY_RUNNING,
         "note: Another uninstall of this product is running. Nothing was removed."},
        {"Visual Studio open",
         [&] {
             ASSERT_TRUE(holder.Open({{L"wndclass_desked_gsk", L"Solution1 - Microsoft Visual Studio", true}}));
         },
         L"/quiet /log \"" + log + L"\"", ERROR_BUSY, "note: Microsoft Visual Studio is running"},
        {"the product open",
         [&] {
             ASSERT_TRUE(holder.Open({{L"QVGlyphSmithClass", L"GlyphSmith", true}}));
         },
         L"/S /log \"" + log + L"\"", ERROR_BUSY, "note: Quorvex GlyphSmith is running"},
    };
    ASSERT_TRUE(MakeFolders(victim));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LayOut();
        DeleteFileW(log.c_str());
        c.prepare();
        const std::vector<std::wstring> before = EndState();
        const WatchedRun run = RunUnattended(c.arguments);
        EXPECT_EQ(c.exitCode, run.exitCode);
        holder.Close();
        running.Reset();
        RemoveLink(linked);
        EXPECT_EQ(Joined(before), Joined(EndState()));
        EXPECT_TRUE(ListTree(victim).empty());
        const std::string text = ReadFileBytes(log);
        if (!c.logged) {
            EXPECT_FALSE(PathExists(log));
            continue;
        }
        EXPECT_NE(std::string::npos, text.find(std::string("\r\n") + c.logged)) << text;
        EXPECT_NE(std::string::npos, text.find("\r\nexit code " + std::to_string(c.exitCode) + ": ")) << text;
    }
}

// A program of the product running from the install folder blocks a quiet
// run, seen as a process (as SYSTEM sees the user's programs), and is named.
TEST_F(QuietRun, AProcessRunningFromTheInstallFolderBlocksTheRun) {
    LayOut();
    const std::wstring program = InstallFolderOf(sample) + L"QvHelper.exe";
    const std::wstring held = InstallFolderOf(sample) + L"held.dat";
    ASSERT_TRUE(CopyFileW(BuiltProgram(L"helpers\\FileHolder.exe").c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(held, "x"));
    CKernelHandle opened(CreateEventW(nullptr, TRUE, FALSE, L"QvTestQuietHolderOpened"));
    CKernelHandle release(CreateEventW(nullptr, TRUE, FALSE, L"QvTestQuietHolderRelease"));
    ProcessDriver holder;
    ASSERT_TRUE(holder.Start(program, L"C:\\", L"\"" + held + L"\" QvTestQuietHolderOpened QvTestQuietHolderRelease"));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(opened.Get(), 30000)) << "the program did not start";
    const std::vector<std::wstring> before = EndState();
    const std::wstring log = std::wstring(Logs) + L"\\running.log";
    const WatchedRun run = RunUnattended(L"/qn /log \"" + log + L"\"");
    SetEvent(release.Get());
    DWORD holderExit = 1;
    EXPECT_TRUE(holder.WaitForExit(holderExit));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BUSY), run.exitCode);
    EXPECT_EQ(Joined(before), Joined(EndState()));
    const std::string text = ReadFileBytes(log);
    EXPECT_NE(std::string::npos, text.find("\r\nnote: the process " + std::to_string(holder.ProcessId()) + " ("))
        << text;
    EXPECT_NE(std::string::npos, text.find("QvHelper.exe) is running")) << text;
}

// Two quiet runs at once. The first is held in Visual Studio's automation,
// after the product's keys have gone; the second, started then, ends with
// ERROR_INSTALL_ALREADY_RUNNING (not with "not installed") and changes
// nothing. Let go, the first finishes the removal and deletes itself.
TEST_F(QuietRun, ASecondRunWhileOneRemovesEndsWithAlreadyRunning) {
    LayOut();
    FakeAutomation automation({L"9.0"}, Logs);
    ASSERT_TRUE(automation.Registered()) << Narrow(automation.Error());
    const std::wstring firstLog = std::wstring(Logs) + L"\\first.log";
    const std::wstring secondLog = std::wstring(Logs) + L"\\second.log";
    ProcessDriver first;
    {
        AutomationHold hold;
        ASSERT_TRUE(first.Start(InstalledUninstaller(), InstallFolderOf(sample), L"/quiet /log \"" + firstLog + L"\""));
        ASSERT_TRUE(hold.WaitUntilHeld()) << "the first run never reached Visual Studio";
        ASSERT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, ProductKeyPath(sample)));
        const std::vector<std::wstring> before = EndState();
        const WatchedRun second = RunUnattended(L"/S /norestart /log \"" + secondLog + L"\"");
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSTALL_ALREADY_RUNNING), second.exitCode);
        EXPECT_EQ(Joined(before), Joined(EndState()));
    }
    DWORD exitCode = 1;
    ASSERT_TRUE(first.WaitForExit(exitCode, 150000));
    EXPECT_EQ(0u, exitCode);
    WaitForSelfDeletion();
    EXPECT_TRUE(automation.WaitForServersToEnd());
    EXPECT_NE(std::string::npos, ReadFileBytes(secondLog).find(
                                     "\r\nnote: Another uninstall of this product is running. Nothing was removed."));
    EXPECT_NE(std::string::npos, ReadFileBytes(firstLog).find("\r\nexit code 0: "));
}

// Wherever a run is killed (after any step, and after some of the listed
// entries), running the uninstaller again finishes the removal as one
// uninterrupted run does, or nothing is left that lists the product.
TEST_F(QuietRun, ARunKilledAnywhereIsFinishedByARerun) {
    LayOut();
    ASSERT_EQ(0u, RunUnattended(L"/quiet").exitCode);
    WaitForSelfDeletion();
    const std::string uninterrupted = Joined(EndState());
    const int entries = static_cast<int>(ListedFilesOf(sample).size());
    // RemovalPoint: 0 after an entry, 1 files, 2 associations, 3 the
    // Add/Remove entries, 4 registry, 5 settings file, 6 preview folder.
    const struct {
        int point, index;
    } stops[] = {{0, 0}, {0, entries / 2}, {0, entries + 1}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}};
    for (const auto& stop : stops) {
        SCOPED_TRACE("point " + std::to_string(stop.point) + ", entry " + std::to_string(stop.index));
        LayOut();
        ProcessDriver killed;
        ASSERT_TRUE(killed.Start(BuiltProgram(L"helpers\\InterruptedRemoval.exe"), L"C:\\",
                                 L"\"" + InstallFolderOf(sample) + L"\\\" " + std::to_wstring(stop.point) + L" " +
                                     std::to_wstring(stop.index)));
        DWORD killedExit = 0;
        ASSERT_TRUE(killed.WaitForExit(killedExit));
        ASSERT_EQ(3u, killedExit) << "the run did not stop at the point";
        const WatchedRun rerun = RunUnattended(L"/quiet");
        if (rerun.exitCode == ERROR_UNKNOWN_PRODUCT) {
            EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, ProductKeyPath(sample)));
            EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, UninstallEntryPath(sample)));
            continue;
        }
        EXPECT_EQ(0u, rerun.exitCode);
        WaitForSelfDeletion();
        EXPECT_EQ(uninterrupted, Joined(EndState()));
    }
}

// The removal runs, but the batch that deletes the uninstaller cannot be
// written where a folder takes its name: the uninstaller stays, and says so.
TEST_F(QuietRun, AnUninstallerThatCannotDeleteItselfEndsWithInstallFailure) {
    LayOut();
    // A folder at every name the batch may take: no batch can be written.
    std::vector<std::wstring> names{Batch};
    for (int n = 1; n <= 9; ++n) names.push_back(L"C:\\QVUninst" + std::to_wstring(n) + L".bat");
    for (const std::wstring& name : names) {
        RemoveTree(name);
        ASSERT_TRUE(MakeFolders(name));
    }
    const std::wstring log = std::wstring(Logs) + L"\\failure.log";
    const WatchedRun run = RunUnattended(L"/quiet /log \"" + log + L"\"");
    for (const std::wstring& name : names) RemoveTree(name);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSTALL_FAILURE), run.exitCode);
    for (const std::wstring& file : ListedFilesOf(sample)) EXPECT_FALSE(PathExists(file)) << Narrow(file);
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, ProductKeyPath(sample)));
    EXPECT_TRUE(PathExists(InstalledUninstaller()));
    const std::string text = ReadFileBytes(log);
    EXPECT_NE(std::string::npos, text.find("\r\nnote: The uninstaller could not start its own deletion")) << text;
    EXPECT_NE(std::string::npos, text.find("\r\nexit code 1603: ")) << text;
}

// A plan changes nothing: no step acts, and the uninstaller stays. What it
// would remove is what the quiet run that follows removes.
TEST_F(QuietRun, APlanChangesNothingAndNamesWhatTheRunRemoves) {
    LayOut();
    const std::vector<std::wstring> before = EndState();
    const std::wstring plan = std::wstring(Logs) + L"\\plan.txt";
    // The folders that the user's own programs choose (the user's application
    // data and temporary folder) see nothing made, probed or removed.
    wchar_t localAppData[MAX_PATH] = L"", temp[MAX_PATH + 1] = L"";
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, localAppData)));
    ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
    WatchedRun run;
    std::vector<std::wstring> userFolderChanges, tempChanges;
    {
        FolderWatch userFolder(localAppData), tempFolder(temp);
        run = RunUnattended(L"/PLAN \"" + plan + L"\"");
        userFolderChanges = userFolder.Changes();
        tempChanges = tempFolder.Changes();
    }
    EXPECT_EQ("", Joined(userFolderChanges));
    EXPECT_EQ("", Joined(tempChanges));
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(Joined(before), Joined(EndState()));
    const std::string text = ReadFileBytes(plan);
    EXPECT_EQ(0u, text.find("\xEF\xBB\xBFGlyphSmith uninstall plan: nothing is removed\r\ndate: ")) << text;
    EXPECT_NE(std::string::npos, text.find("\r\nexit code 0: ")) << text;

    const std::wstring log = std::wstring(Logs) + L"\\log.txt";
    EXPECT_EQ(0u, RunUnattended(L"/quiet /log \"" + log + L"\"").exitCode);
    WaitForSelfDeletion();
    const std::vector<std::string> planned = LogLinesWithOutcome(plan, "would remove");
    const std::vector<std::string> removed = LogLinesWithOutcome(log, "removed");
    EXPECT_EQ("", LogLineDifferences(planned, "planned", removed, "removed")) << ReadFileBytes(plan);
    // Files, folders, keys, a value and the add-in, not just a few lines.
    for (const char* what : {"file \"", "folder \"", "key \"", "value \"", "visual studio \""})
        EXPECT_TRUE(std::any_of(removed.begin(), removed.end(),
                                [&](const std::string& line) { return line.rfind(what, 0) == 0; }))
            << what << " in\n"
            << ReadFileBytes(log);
}

// Without /quiet the wizard says what it refuses, changes nothing and ends
// with the same exit code.
TEST_F(QuietRun, TheWizardExplainsARefusedCommandLine) {
    const struct {
        std::wstring arguments;
        const wchar_t* text;
    } cases[] = {
        {L"/bogus", L"The command line is not understood: unknown argument \"/bogus\"."},
        {L"/log \"" + InstallFolderOf(sample) + L"u.log\"", L"The log file cannot be written:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.arguments));
        LayOut();
        const std::vector<std::wstring> before = EndState();
        ASSERT_TRUE(uninstaller.Start(InstalledUninstaller(), InstallFolderOf(sample), c.arguments));
        HWND box = uninstaller.WaitForWindow(L"#32770", L"Installation");
        ASSERT_NE(box, nullptr);
        const MessageBoxInfo info = ReadMessageBox(box);
        EXPECT_EQ(0u, info.text.find(c.text)) << Narrow(info.text);
        EXPECT_TRUE(info.hasErrorIcon);
        ProcessDriver::PressButton(box, IDOK);
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), WaitForExitCode());
        EXPECT_TRUE(VisiblePages(uninstaller).empty());
        EXPECT_EQ(Joined(before), Joined(EndState()));
    }
}

}  // namespace
}  // namespace qvtest
