#include "app/QuietRun.h"

#include <windows.h>

#include "app/CommandLine.h"
#include "removal/ExitCodes.h"
#include "removal/Removal.h"
#include "removal/RemovalRun.h"
#include "removal/SelfDeletion.h"
#include "removal/VisualStudioAddin.h"
#include "wizard/RunningApps.h"
#include "wizard/UninstallRecord.h"

namespace {

// The application that the "Action Required" page would ask the user to
// close, asked in the wizard's order; null when none runs.
const wchar_t* RunningApplication() {
    if (IsVisualStudioRunning()) return L"Microsoft Visual Studio";
    if (IsProductRunning()) return L"Quorvex GlyphSmith";
    return nullptr;
}

}  // namespace

int OpenRecordLog(CRemovalRun& run, const wchar_t* path, int plan) {
    run.SetPlan(plan);
    const CUninstallRecord& record = UninstallRecord;
    // The file would keep these folders from being removed, or be removed
    // with them.
    const wchar_t* const keptOut[] = {record.InstallFolder, record.ExeFolder, record.PreviewFolder};
    const CRemovalLogHeader header = {record.ProductKey, record.InstallFolder};
    if (run.OpenLog(path, header, keptOut, sizeof(keptOut) / sizeof(keptOut[0]))) return 1;
    run.SetPlan(0);
    return 0;
}

int OpenRequestedLog(CRemovalRun& run) {
    run.SetPlan(RunOptions.Plan);
    if (RunOptions.LogPath.IsEmpty()) return 1;
    return OpenRecordLog(run, RunOptions.LogPath, RunOptions.Plan);
}

int RunQuietUninstall(CRemovalRun& run) {
    // Nobody is there to answer: no box for a drive without a disk, for a
    // file that cannot be opened or for a crash.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    CStartupFailure failure;
    const int recordRead = ReadUninstallRecord(failure);
    if (!OpenRequestedLog(run)) return ExitBadParameter;
    if (!recordRead) {
        run.Note(failure.Text);
        return failure.ExitCode;
    }
    if (const wchar_t* running = RunningApplication()) {
        run.Note(CString(running) + L" is running, so nothing was removed: close it, then run the uninstaller again.");
        return ExitApplicationRunning;
    }
    // What the wizard's main window records when it is made.
    UninstallRecord.VisualStudioPresent = IsAnyVisualStudioInstalled(UninstallRecord.Is64BitWindows);
    RunRemoval(RemovalInputOf(UninstallRecord), run, nullptr);
    if (run.IsPlan()) return ExitRemoved;
    if (!StartSelfDeletion()) {
        run.Note(L"The uninstaller could not start its own deletion: the program and its folder stay.");
        return ExitInternalFailure;
    }
    return ExitRemoved;
}
