#include "removal/ExitCodes.h"

const wchar_t* ExitCodeMeaning(int exitCode) {
    switch (exitCode) {
        case ExitRemoved:
            return L"done.";
        case ExitWizardFailed:
            return L"the uninstall did not complete.";
        case ExitBadParameter:
            return L"command line or log file refused.";
        case ExitApplicationRunning:
            return L"Visual Studio or GlyphSmith is running.";
        case ExitInternalFailure:
            return L"the uninstaller could not start its own deletion.";
        case ExitNotInstalled:
            return L"the product is not installed here.";
        case ExitBadConfiguration:
            return L"the uninstall settings are damaged.";
        case ExitAlreadyRunning:
            return L"another uninstall of this product is running.";
        case ExitLogFailure:
            return L"the log file cannot be written.";
        case ExitBadCommandLine:
            return L"the command line is not understood.";
        default:
            return L"no code of this program.";
    }
}
