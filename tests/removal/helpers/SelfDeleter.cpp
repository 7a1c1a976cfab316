// A small program that runs the uninstaller's self-deletion and ends, for
// tests: copied to a folder on drive C: under the name Uninstall.exe.
//   SelfDeleter.exe [<started event> <release event>]
// With the two event names it holds its own file open without delete
// sharing, signals the first after StartSelfDeletion has returned and waits
// (at most a minute) for the second before it ends. Until then the batch
// cannot delete the program and repeats, so that the test can look at the
// batch file and at its interpreter while both are there.
#include <windows.h>
#include <shellapi.h>

#include "removal/SelfDeletion.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const bool hold = argv && argc >= 3;
    HANDLE self = INVALID_HANDLE_VALUE;
    if (hold) {
        wchar_t path[MAX_PATH];
        const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            self = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    StartSelfDeletion();
    if (hold) {
        HANDLE started = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
        HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[2]);
        if (started) SetEvent(started);
        if (release) WaitForSingleObject(release, 60000);
        if (started) CloseHandle(started);
        if (release) CloseHandle(release);
    }
    if (self != INVALID_HANDLE_VALUE) CloseHandle(self);
    return 0;
}
