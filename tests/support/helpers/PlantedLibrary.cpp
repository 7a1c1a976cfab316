// A library that does nothing, planted beside a test program under a name
// that no system library has.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
