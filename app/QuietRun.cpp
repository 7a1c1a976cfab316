#include "app/QuietRun.h"

#include <windows.h>

#include "app/CommandLine.h"
#include "app/ExitCodes.h"
#include "app/UninstallRecord.h"
#include "removal/RemovalLog.h"
#include "removal/SelfDeletion.h"
#include "removal/VisualStudioAddin.h"
#include "wizard/RunningApps.h"
#include "wizard/UninstallPage.h"

namespace {

// The application that the "Action Required" page would ask the user to
// close, asked in the wizard's order; null when none runs.
const wchar_t* RunningApplication() {
    if (IsVisualStudioRunning()) return L"Microsoft Visual Studio";
    if (IsProductRunning()) return L"Quorvex GlyphSmith";
    return nullptr;
}

}  // namespace

int OpenRequestedLog() {
    if (RunOptions.LogPath.IsEmpty()) return 1;
    return OpenRemovalLog(RunOptions.LogPath, RunOptions.Plan);
}

int RunQuietUninstall() {
    // Nobody is there to answer: no box for a drive without a disk, for a
    // file that cannot be opened or for a crash.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    const int recordRead = ReadUninstallRecord();
    if (!OpenRequestedLog()) return ExitBadParameter;
    if (!recordRead) {
        LogRemovalNote(StartupFailure.Text);
        return StartupFailure.ExitCode;
    }
    if (const wchar_t* running = RunningApplication()) {
        LogRemovalNote(CString(running) +
                       L" is running, so nothing was removed: close it, then run the uninstaller again.");
        return ExitApplicationRunning;
    }
    // What the wizard's main window records when it is made.
    UninstallRecord.VisualStudioPresent = IsAnyVisualStudioInstalled();
    RunRemovalSequence(nullptr);
    if (IsPlanRun()) return ExitRemoved;
    if (!StartSelfDeletion()) {
        LogRemovalNote(L"The uninstaller could not start its own deletion: the program and its folder stay.");
        return ExitInternalFailure;
    }
    return ExitRemoved;
}
