// The unattended run of /quiet, /S and /plan: the wizard's uninstall road
// without a window or a message box at any point, ending with an exit code.
#pragma once

class CRemovalRun;

// Reads the uninstall record and opens the log or plan of RunOptions. When no
// application that the wizard would ask to close is running, runs the removal
// sequence of page 103 and, unless the run is a plan, starts the
// self-deletion as the wizard does after its success page. Returns the exit
// code (app/ExitCodes.h).
int RunQuietUninstall(CRemovalRun& run);

// Makes `run` a plan when RunOptions asks for one, and opens the log or plan
// that RunOptions names. Non-zero when it is open or
// none was asked for.
int OpenRequestedLog(CRemovalRun& run);

// Opens the log (plan == 0) or plan `path` for `run`, with the header and the
// kept-out folders of the uninstall record; `run` becomes a plan when asked
// and the file opens. Non-zero on success.
int OpenRecordLog(CRemovalRun& run, const wchar_t* path, int plan);
