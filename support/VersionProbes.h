// Windows version and WOW64 probes.
#pragma once

// True when VerifyVersionInfoW confirms at least this version and service pack.
int IsWindowsVersionAtLeast(int major, int minor, int servicePackMajor);

// True on 64-bit Windows: the system offers GetSystemWow64DirectoryW.
int Is64BitWindows();
