#include "support/VersionProbes.h"

#include <windows.h>

int IsWindowsVersionAtLeast(int major, int minor, int servicePackMajor) {
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    version.dwMajorVersion = static_cast<DWORD>(major);
    version.dwMinorVersion = static_cast<DWORD>(minor);
    version.wServicePackMajor = static_cast<WORD>(servicePackMajor);
    DWORDLONG condition = 0;
    condition = VerSetConditionMask(condition, VER_MAJORVERSION, VER_GREATER_EQUAL);
    condition = VerSetConditionMask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
    condition = VerSetConditionMask(condition, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, condition) ? 1 : 0;
}

int Is64BitWindows() {
    using GetWow64Directory = UINT(WINAPI*)(LPWSTR, UINT);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return 0;
    auto getWow64Directory = reinterpret_cast<GetWow64Directory>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetSystemWow64DirectoryW")));
    if (!getWow64Directory) return 0;
    wchar_t folder[512];
    if (getWow64Directory(folder, 512) != 0) return 1;
    return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED ? 0 : 1;
}
