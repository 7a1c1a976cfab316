#include "app/InstallApp.h"

#include <objbase.h>

#include "app/UninstallRecord.h"
#include "app/VersionProbes.h"
#include "resources/resource.h"
#include "wizard/MainFrame.h"
#include "wizard/ScreenResources.h"

CInstallApp::CInstallApp() {
    CreateScreenResources();
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

    if (!ReadUninstallRecord()) return FALSE;

    // The main window runs the wizard from here on; it lives until the
    // process ends.
    static CMainFrame mainFrame;
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
    CoUninitialize();
    CWinApp::ExitInstance();
    return UninstallRecord.ExitCode;
}
