#include "app/InstallApp.h"

#include <objbase.h>

#include "app/CommandLine.h"
#include "app/QuietRun.h"
#include "framework/WinApp.h"
#include "removal/ExitCodes.h"
#include "removal/RemovalRun.h"
#include "resources/resource.h"
#include "support/LibrarySearch.h"
#include "wizard/MainFrame.h"
#include "wizard/ScreenResources.h"
#include "wizard/UninstallRecord.h"

namespace {

// A command line that the wizard does not understand changes nothing, and
// the wizard says why.
void RefuseCommandLine(const CString& problem) {
    UninstallRecord.ExitCode = ExitBadParameter;
    AfxMessageBox(CString(L"The command line is not understood: ") + problem + L".\n\nUsage: " + CommandLineUsage,
                  MB_ICONERROR);
}

void RefuseLogFile() {
    UninstallRecord.ExitCode = ExitBadParameter;
    AfxMessageBox(CString(L"The log file cannot be written:\n") + RunOptions.LogPath +
                      L"\n\nIt must not lie in a folder that the uninstaller removes, and neither it nor a folder "
                      L"above it may be a link. Nothing was changed.",
                  MB_ICONERROR);
}

}  // namespace

CInstallApp::CInstallApp() {
    // Before anything else can load a library.
    RestrictLibrarySearch();
    CreateScreenResources();
    RunVersionProbes();
}

CString FolderOfModulePath(const wchar_t* modulePath) {
    CString path(modulePath);
    for (int i = path.GetLength() - 1; i >= 1; --i) {
        if (path.GetAt(i) == L'\\') {
            path.Truncate(i + 1);
            break;
        }
    }
    return path;
}

BOOL CInstallApp::InitInstance() {
    CoInitialize(nullptr);
    RunVersionProbes();

    wchar_t modulePath[ModulePathLimit];
    const DWORD length = GetModuleFileNameW(nullptr, modulePath, ModulePathLimit);
    if (length == 0 || length >= static_cast<DWORD>(ModulePathLimit)) modulePath[ModulePathLimit - 1] = L'\0';
    if (length == 0) modulePath[0] = L'\0';
    UninstallRecord.ExeFolder = FolderOfModulePath(modulePath);
    UninstallRecord.ExitCode = 0;

    CString problem;
    ParseCommandLine(GetCommandLineW(), RunOptions, problem);
    // A quiet switch anywhere keeps every window away, whatever else the
    // command line holds.
    if (RunOptions.Quiet) {
        UninstallRecord.ExitCode = RunQuietUninstall(removalRun_, singleRun_, problem);
        return FALSE;
    }
    if (!problem.IsEmpty()) {
        RefuseCommandLine(problem);
        return FALSE;
    }
    CStartupFailure failure;
    const int recordRead = ReadUninstallRecord(failure);
    if (!OpenRequestedLog(removalRun_)) {
        RefuseLogFile();
        return FALSE;
    }
    if (RunOptions.Help) {
        removalRun_.Note(CommandLineUsage);
        AfxMessageBox(CommandLineUsage, MB_ICONINFORMATION);
        return FALSE;
    }
    if (!TakeTurn(singleRun_, recordRead)) {
        removalRun_.Note(AnotherUninstallRuns);
        UninstallRecord.ExitCode = ExitAlreadyRunning;
        AfxMessageBox(AnotherUninstallRuns, MB_ICONINFORMATION);
        return FALSE;
    }
    if (!recordRead) {
        removalRun_.Note(failure.Text);
        AfxMessageBox(failure.Text, MB_ICONERROR);
        return FALSE;
    }

    // The main window runs the wizard from here on; it lives until the
    // process ends.
    static CMainFrame mainFrame(removalRun_);
    if (!mainFrame.LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW, nullptr, nullptr)) {
        ShowInternalError(L"Internal Error #001");
        return FALSE;
    }
    m_hMainWnd = mainFrame.m_hWnd;
    ShowWindow(m_hMainWnd, SW_SHOW);
    UpdateWindow(m_hMainWnd);
    return TRUE;
}

int CInstallApp::ExitInstance() {
    removalRun_.CloseLog(UninstallRecord.ExitCode);
    CoUninitialize();
    CWinApp::ExitInstance();
    return UninstallRecord.ExitCode;
}
