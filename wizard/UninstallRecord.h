// The uninstall record: everything the wizard and the removal engine need,
// read once at start-up from "uninstall.ini" beside the program and from the
// product's registry entries.
#pragma once

#include "framework/String.h"
#include "removal/Removal.h"

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

// Why ReadUninstallRecord failed: the text that tells the user what is
// missing, and the exit code that ends a quiet run.
struct CStartupFailure {
    CString Text;
    int ExitCode = 0;
};

// Reads uninstall.ini from UninstallRecord.ExeFolder, then the registry.
// Returns 1 when the record is complete; otherwise 0, with `failure` telling
// what is missing. Shows nothing: the caller decides how to tell it.
int ReadUninstallRecord(CStartupFailure& failure);

// Fills the record's IsVistaOrLater and Is64BitWindows.
void RunVersionProbes();

// Splits the enclosed "args" value ("<key>" "<program>") into its two fields
// by cutting at the last four quotation marks. Returns 0 when the value holds
// fewer than four of them.
int SplitArgsValue(const CString& enclosedValue, CString& productKey, CString& programFileName);

// Reads the data of every value of HKLM SOFTWARE\Quorvex\<productKey>\Files in
// enumeration order into `files`; string values only, each read whole.
void ReadListedFiles(const CString& productKey, CStringList& files);

// What the removal engine is given of the record.
CRemovalInput RemovalInputOf(const CUninstallRecord& record);
