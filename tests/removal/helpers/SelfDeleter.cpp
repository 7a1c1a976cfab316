// A small program that runs the uninstaller's self-deletion and ends, for
// tests: copied to a folder on drive C: under the name Uninstall.exe.
//   SelfDeleter.exe [<started event> <release event>]
// With the two event names it signals the first after StartSelfDeletion has
// returned and waits (at most a minute) for the second before it ends, so
// that the test can look at the batch file while the program still runs.
#include <windows.h>
#include <shellapi.h>

#include "removal/SelfDeletion.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    StartSelfDeletion();
    if (argv && argc >= 3) {
        HANDLE started = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
        HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[2]);
        if (started) SetEvent(started);
        if (release) WaitForSingleObject(release, 60000);
        if (started) CloseHandle(started);
        if (release) CloseHandle(release);
    }
    return 0;
}
