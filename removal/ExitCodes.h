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

// The wizard's own code after its error page was closed with Finish. It is
// no system error code, so a log explains it in its own words.
constexpr int ExitWizardFailed = 1;
