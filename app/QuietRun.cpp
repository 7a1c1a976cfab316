#include "app/QuietRun.h"

#include <windows.h>

#include "app/CommandLine.h"
#include "app/SingleRun.h"
#include "removal/ExitCodes.h"
#include "removal/Removal.h"
#include "removal/RemovalRun.h"
#include "removal/SelfDeletion.h"
#include "removal/VisualStudioAddin.h"
#include "support/Handles.h"
#include "support/Processes.h"
#include "wizard/RunningApps.h"
#include "wizard/UninstallRecord.h"

namespace {

// What keeps a quiet run from removing anything, in the wizard's order: a
// Visual Studio window (only where an add-in version is installed, since the
// add-in step is what needs it closed), the product's window, then, across
// sessions, a process running from the install folder. Empty when nothing.
CString RunningApplication() {
    if (UninstallRecord.VisualStudioPresent && IsVisualStudioRunning()) return L"Microsoft Visual Studio";
    if (IsProductRunning()) return L"Quorvex GlyphSmith";
    CString image;
    DWORD id = 0;
    if (FindProcessInFolder(UninstallRecord.InstallFolder, image, id)) {
        CString text;
        text.Format(L"the process %lu (%s)", static_cast<unsigned long>(id), image.GetString());
        return text;
    }
    return CString();
}

// SYSTEM in session 0, as deployment services run: no one sees a window
// there, and no one could close a program started there.
bool IsSystemInSessionZero() {
    DWORD session = 1;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &session) || session != 0) return false;
    CKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
    union {
        TOKEN_USER user;
        BYTE bytes[128];
    } owner;
    DWORD size = 0;
    return GetTokenInformation(token.Get(), TokenUser, &owner, sizeof owner, &size) &&
           IsWellKnownSid(owner.user.User.Sid, WinLocalSystemSid);
}

// The longest a quiet run waits for Visual Studio's automation to take the
// add-in's menus away; past it the run goes on without.
constexpr DWORD AutomationBoundMs = 120000;

const wchar_t* ModeText() {
    if (RunOptions.Plan) return L"plan";
    return RunOptions.Quiet ? L"quiet" : L"wizard";
}

}  // namespace

const wchar_t AnotherUninstallRuns[] = L"Another uninstall of this product is running. Nothing was removed.";

void TellWhy(const CRemovalRun& run, const wchar_t* text) {
    if (run.IsLogged()) {
        run.Note(text);
        return;
    }
    OutputDebugStringW(CString(L"GlyphSmith uninstall: ") + text + L"\n");
}

int OpenRecordLog(CRemovalRun& run, const wchar_t* path, int plan) {
    run.SetPlan(plan);
    const CUninstallRecord& record = UninstallRecord;
    // The file would keep these folders from being removed, or be removed
    // with them.
    const wchar_t* const keptOut[] = {record.InstallFolder, record.ExeFolder, record.PreviewFolder};
    const CRemovalLogHeader header = {record.ProductKey,    record.InstallFolder, record.AppDisplayName,
                                      record.PreviewFolder, GetCommandLineW(),    ModeText()};
    if (run.OpenLog(path, header, keptOut, sizeof(keptOut) / sizeof(keptOut[0]))) return 1;
    run.SetPlan(0);
    return 0;
}

int OpenRequestedLog(CRemovalRun& run) {
    run.SetPlan(RunOptions.Plan);
    if (RunOptions.LogPath.IsEmpty()) return 1;
    return OpenRecordLog(run, RunOptions.LogPath, RunOptions.Plan);
}

int RunQuietUninstall(CRemovalRun& run, CSingleRun& singleRun, const CString& problem) {
    // Nobody is there to answer: no box for a drive without a disk, for a
    // file that cannot be opened or for a crash.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // The record is read first (it shows nothing), so that the log knows
    // which folders it must stay out of; its failure is then logged.
    CStartupFailure failure;
    const int recordRead = ReadUninstallRecord(failure);
    if (!OpenRequestedLog(run)) {
        TellWhy(run, CString(L"The log file cannot be written: ") + RunOptions.LogPath);
        return ExitLogFailure;
    }
    if (!problem.IsEmpty()) {
        TellWhy(run, CString(L"The command line is not understood: ") + problem + L". Usage: " + CommandLineUsage);
        return ExitBadCommandLine;
    }
    if (RunOptions.Help) {
        TellWhy(run, CommandLineUsage);
        return ExitRemoved;
    }
    if (!TakeTurn(singleRun, recordRead)) {
        TellWhy(run, AnotherUninstallRuns);
        return ExitAlreadyRunning;
    }
    if (!recordRead) {
        TellWhy(run, failure.Text);
        return failure.ExitCode;
    }
    // What the wizard's main window records when it is made.
    UninstallRecord.VisualStudioPresent = IsAnyVisualStudioInstalled(UninstallRecord.Is64BitWindows);
    const CString running = RunningApplication();
    if (!running.IsEmpty()) {
        TellWhy(run, running + L" is running, so nothing was removed: close it, then run the uninstaller again.");
        return ExitApplicationRunning;
    }
    CRemovalInput input = RemovalInputOf(UninstallRecord);
    input.MayStartVisualStudio = !IsSystemInSessionZero();
    input.AutomationBoundMs = AutomationBoundMs;
    RunRemoval(input, run, nullptr);
    if (run.IsPlan()) return ExitRemoved;
    if (!StartSelfDeletion()) {
        run.Note(L"The uninstaller could not start its own deletion: the program and its folder stay.");
        return ExitInternalFailure;
    }
    return ExitRemoved;
}
