// The exit codes of a quiet run: Windows system error codes, which
// deployment tools already know how to read. The wizard keeps its own: 0,
// or 1 after the error page.
#pragma once

#include <windows.h>

constexpr int ExitRemoved = ERROR_SUCCESS;                     // 0: removed (or planned)
constexpr int ExitBadParameter = ERROR_INVALID_PARAMETER;      // 87: command line, or log or plan file refused
constexpr int ExitApplicationRunning = ERROR_BUSY;             // 170: Visual Studio or the product must be closed
constexpr int ExitInternalFailure = ERROR_INSTALL_FAILURE;     // 1603: the uninstaller cannot delete itself
constexpr int ExitNotInstalled = ERROR_UNKNOWN_PRODUCT;        // 1605: uninstall.ini or the install record missing
constexpr int ExitBadConfiguration = ERROR_BAD_CONFIGURATION;  // 1610: "args" of uninstall.ini damaged
constexpr int ExitAlreadyRunning = ERROR_INSTALL_ALREADY_RUNNING;  // 1618: another uninstall of the product runs
constexpr int ExitLogFailure = ERROR_INSTALL_LOG_FAILURE;          // 1622: quiet run: the log cannot be written
constexpr int ExitBadCommandLine = ERROR_INVALID_COMMAND_LINE;     // 1639: quiet run: command line not understood

// The wizard's own code after its error page was closed with Finish. It is
// no system error code, so a log explains it in its own words.
constexpr int ExitWizardFailed = 1;

// What an exit code means for this program, in words, for the log's last
// line (the system's text for a code reads as an unrelated error).
const wchar_t* ExitCodeMeaning(int exitCode);
