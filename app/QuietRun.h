// The unattended run of the quiet switches and /plan: the wizard's uninstall
// road without a window or a message box at any point, ending with an exit
// code.
#pragma once

#include "framework/String.h"

class CRemovalRun;
class CSingleRun;

// Reads the uninstall record and opens the log or plan of RunOptions. Then,
// in this order: a command line that was not understood (`problem` not
// empty) ends the run with 1639, a usage request with 0, a record that
// cannot be read with its code, another uninstall of the product with 1618,
// a running application (a window that the wizard would ask to close, or a
// process whose image lies in the install folder) with 170. Otherwise runs
// the removal sequence of page 103 and, unless the run is a plan, starts the
// self-deletion as the wizard does after its success page. Whatever ends the
// run is said in the log, or through OutputDebugStringW where no log is
// open. Returns the exit code (removal/ExitCodes.h).
int RunQuietUninstall(CRemovalRun& run, CSingleRun& singleRun, const CString& problem);

// Makes `run` a plan when RunOptions asks for one, and opens the log or plan
// that RunOptions names. Non-zero when it is open or none was asked for.
int OpenRequestedLog(CRemovalRun& run);

// Opens the log (plan == 0) or plan `path` for `run`, with the header and the
// kept-out folders of the uninstall record; `run` becomes a plan when asked
// and the file opens. Non-zero on success.
int OpenRecordLog(CRemovalRun& run, const wchar_t* path, int plan);

// What a second uninstall of the product says, in a box or in the log.
extern const wchar_t AnotherUninstallRuns[];

// Says why the run ends: a note in the log when one is open, otherwise
// through OutputDebugStringW, where a debugger or a tracing tool sees it.
void TellWhy(const CRemovalRun& run, const wchar_t* text);
