// Starting the product's repair program: its path, " /r " and the product's
// application folder from "App Paths". The program is not waited for.
#pragma once

#include <windows.h>

#include "framework/String.h"

// The repair command line before conversion: the repair program's path in
// quotation marks (so that a path with blanks names exactly that program and
// never a "C:\Program.exe" planted before it), then " /r " and the
// application folder as they stand, since the repair program reads them so.
CString FormRepairCommandLine(const wchar_t* repairProgram, const wchar_t* applicationFolder);

// Starts UninstallRecord.RepairCommand with " /r " and the App Paths "Path"
// of UninstallRecord.ProgramFileName (empty when missing), converted to the
// ANSI code page. A command that does not fit its 511 bytes is not started.
// Returns non-zero when the program was started.
int LaunchRepair();
