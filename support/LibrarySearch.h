// Where the process looks for the libraries it loads. It runs with
// administrator rights from a folder, and often with a current directory,
// that others may write to: a library planted there under a system
// library's name must never be loaded.
#pragma once

#include <windows.h>

// Limits the search for libraries loaded later to the system folder
// (SetDefaultDllDirectories with LOAD_LIBRARY_SEARCH_SYSTEM32, from Windows 8
// and on Windows 7 with its update), and takes the current directory out of
// the search wherever that call is missing (SetDllDirectoryW with ""). Made
// once, first thing at start-up; later calls change nothing. Non-zero when
// the search was limited to the system folder.
int RestrictLibrarySearch();

// Loads a system library by its full path in the system folder, after the
// search has been limited, so that the libraries it loads in turn come from
// there too. Null when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

// A function of a system library that the program does not need from its
// start (shell32, oleaut32): the library is loaded by LoadSystemLibrary at
// the function's first use instead of with the program, and stays loaded.
// Null when the library or the function is missing. `Function` is the
// function's pointer type.
FARPROC SystemLibraryFunction(const wchar_t* library, const char* name);
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(SystemLibraryFunction(library, name)));
}
