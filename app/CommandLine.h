// The command line of an unattended run: /quiet (or /S), /log <file> and
// /plan <file>. Without arguments the program runs its wizard as always.
#pragma once

#include "framework/String.h"

struct CRunOptions {
    int Quiet = 0;    // /quiet, /S or /plan: no window and no message box at any point
    int Plan = 0;     // /plan: the removal steps decide and write the plan, but change nothing
    CString LogPath;  // the file named after /log or /plan; empty without either
};

// The options of this run, set once at start-up.
extern CRunOptions RunOptions;

// Parses a whole command line, program name first, by the rules of
// CommandLineToArgvW. Switches are case-insensitive. Returns 1 when every
// argument is understood. Otherwise returns 0 with `problem` describing the
// first argument that is not; the switches recognised are still set, so a bad
// command line that asks for a quiet run stays quiet.
int ParseCommandLine(const wchar_t* commandLine, CRunOptions& options, CString& problem);

// The usage line shown with a problem.
extern const wchar_t CommandLineUsage[];
