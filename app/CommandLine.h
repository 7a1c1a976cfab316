// The command line of an unattended run, in the forms that deployment tools
// use for every uninstaller: the quiet switches of msiexec, NSIS and Inno
// Setup, their log switches, /plan <file>, the usage switches, and switches
// that are accepted and ignored. Without arguments the program runs its
// wizard as always.
#pragma once

#include "framework/String.h"

struct CRunOptions {
    int Quiet = 0;    // a quiet switch or /plan: no window and no message box at any point
    int Plan = 0;     // /plan: the removal steps decide and write the plan, but change nothing
    int Help = 0;     // /?, /h or /help: the usage is shown, nothing else happens
    CString LogPath;  // the file named by a log switch or /plan; empty without one
};

// The options of this run, set once at start-up.
extern CRunOptions RunOptions;

// Parses a whole command line, program name first, by the rules of
// CommandLineToArgvW. Switches are case-insensitive. Returns 1 when every
// argument is understood. Otherwise returns 0 with `problem` describing the
// first argument that is not; the switches recognised are still set, so a bad
// command line that asks for a quiet run stays quiet.
int ParseCommandLine(const wchar_t* commandLine, CRunOptions& options, CString& problem);

// The usage text, shown for /? and with a problem.
extern const wchar_t CommandLineUsage[];
