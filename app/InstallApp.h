// The application object: prepares the screen resources when it is built,
// reads the uninstall record when it starts and hands over to the wizard.
#pragma once

#include "framework/WinApp.h"
#include "app/SingleRun.h"
#include "removal/RemovalRun.h"

class CInstallApp : public CWinApp {
public:
    CInstallApp();
    BOOL InitInstance() override;
    int ExitInstance() override;

private:
    // The one removal run of the process, with its log or plan.
    CRemovalRun removalRun_;
    CSingleRun singleRun_;
};

// The folder part of a module path, with its trailing "\": the text up to and
// including the last "\" found between the last and the second character.
CString FolderOfModulePath(const wchar_t* modulePath);
