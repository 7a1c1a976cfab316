// Runs the removal of a quiet run on the installation whose "uninstall.ini"
// lies in <folder> and ends the process at one point of it, as a deployment
// tool's timeout or a power cut would: exit code 3 when it stopped there, 0
// when the point never came.
//   InterruptedRemoval.exe <folder with trailing "\"> <point> <entry index>
// <point> is a RemovalPoint number; <entry index> counts the listed entries
// for RemovalPoint::FileEntry.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "removal/Removal.h"
#include "removal/RemovalRun.h"
#include "removal/VisualStudioAddin.h"
#include "wizard/UninstallRecord.h"

namespace {

int StopPoint = -1;
int StopIndex = 0;

void StopAt(RemovalPoint point, int index) {
    if (static_cast<int>(point) != StopPoint) return;
    if (point == RemovalPoint::FileEntry && index != StopIndex) return;
    TerminateProcess(GetCurrentProcess(), 3);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 4) return 2;
    StopPoint = _wtoi(argv[2]);
    StopIndex = _wtoi(argv[3]);
    UninstallRecord.ExeFolder = argv[1];
    RunVersionProbes();
    CStartupFailure failure;
    if (!ReadUninstallRecord(failure)) return 2;
    UninstallRecord.VisualStudioPresent = IsAnyVisualStudioInstalled(UninstallRecord.Is64BitWindows);
    RemovalPointHook = StopAt;
    CRemovalRun run;
    RunRemoval(RemovalInputOf(UninstallRecord), run, nullptr);
    return 0;
}
