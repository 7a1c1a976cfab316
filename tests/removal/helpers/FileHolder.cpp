// Holds a file open without delete sharing, for tests of files in use.
//   FileHolder.exe <file> <opened event> <release event>
// Opens the file (read and write sharing only), signals the first event and
// keeps the file open until the second is signalled (at most a minute).
#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 4) return 2;
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    HANDLE opened = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    if (opened) SetEvent(opened);
    if (release) WaitForSingleObject(release, 60000);
    CloseHandle(file);
    return 0;
}
