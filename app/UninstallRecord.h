// The uninstall record: everything the wizard and the removal engine need,
// read once at start-up from "uninstall.ini" beside the program and from the
// product's registry entries.
#pragma once

#include "framework/String.h"

struct CUninstallRecord {
    CString ExeFolder;        // folder of the running program, with its trailing "\"
    CString RepairCommand;    // key "repair" of uninstall.ini, or the file the user picked
    CString ProductKey;       // first quoted field of "args"
    CString ProgramFileName;  // second quoted field of "args": the App Paths name
    CString InstallFolder;    // HKLM SOFTWARE\Quorvex\<ProductKey> "InstallDir", ends with "\"
    CString AppDisplayName;   // the uninstall entry's "DisplayName", or string 5003
    CString PreviewFolder;    // HKCU SOFTWARE\Quorvex\folders "PreviewTempDir", may be empty
    CStringList FilesToRemove;
    int IsVistaOrLater = 0;
    int Is64BitWindows = 0;
    int VisualStudioPresent = 0;
    int RepairChosen = 0;
    int ExitCode = 0;
};

extern CUninstallRecord UninstallRecord;

// Limits of the texts read at start-up, terminator included.
constexpr int ModulePathLimit = 250;
constexpr int ArgsLimit = 200;
constexpr int RepairCommandLimit = 250;

// Reads uninstall.ini from UninstallRecord.ExeFolder, then the registry.
// Returns 1 when the record is complete, 0 after a message box has told the
// user what is missing; in a quiet run no box is shown, and StartupFailure
// tells what it would have said.
int ReadUninstallRecord();

// Why ReadUninstallRecord failed in a quiet run: the text of the message box
// the wizard shows, and the exit code that ends the run.
struct CStartupFailure {
    CString Text;
    int ExitCode = 0;
};
extern CStartupFailure StartupFailure;

// Splits the enclosed "args" value ("<key>" "<program>") into its two fields
// by cutting at the last four quotation marks. Returns 0 when the value holds
// fewer than four of them.
int SplitArgsValue(const CString& enclosedValue, CString& productKey, CString& programFileName);

// Reads the data of every value of HKLM SOFTWARE\Quorvex\<productKey>\Files in
// enumeration order into `files`; string values only, each read whole.
void ReadListedFiles(const CString& productKey, CStringList& files);
