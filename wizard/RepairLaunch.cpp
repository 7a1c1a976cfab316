#include "wizard/RepairLaunch.h"

#include "support/Registry.h"
#include "wizard/UninstallRecord.h"

namespace {

// The command line handed to WinExec holds at most this many ANSI bytes,
// terminator included.
constexpr int RepairCommandBytes = 512;

}  // namespace

CString FormRepairCommandLine(const wchar_t* repairProgram, const wchar_t* applicationFolder) {
    CString command(L"\"");
    command += repairProgram;
    command += L"\" /r ";
    command += applicationFolder;
    return command;
}

int LaunchRepair() {
    const CString key = CString(AppPathsKeyRoot) + UninstallRecord.ProgramFileName;
    wchar_t folder[MAX_PATH];
    // A missing "Path" leaves the folder part empty.
    ReadRegistryString(HKEY_LOCAL_MACHINE, key, L"Path", folder);
    const CString command = FormRepairCommandLine(UninstallRecord.RepairCommand, folder);

    // A command that does not fit whole is not started: cut short, it would
    // hand the repair program a wrong folder.
    char ansiCommand[RepairCommandBytes];
    const int bytes = WideCharToMultiByte(CP_ACP, 0, command, -1, ansiCommand, RepairCommandBytes, nullptr, nullptr);
    if (bytes <= 0) return 0;
    ansiCommand[RepairCommandBytes - 1] = '\0';
    return WinExec(ansiCommand, SW_SHOW) > 31 ? 1 : 0;
}
