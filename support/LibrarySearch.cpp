#include "support/LibrarySearch.h"

namespace {

int SearchRestricted = -1;  // not yet asked

}  // namespace

int RestrictLibrarySearch() {
    if (SearchRestricted >= 0) return SearchRestricted;
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        kernel ? reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")) : nullptr);
    SearchRestricted = setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32) ? 1 : 0;
    if (!SearchRestricted) {
        // Windows XP SP1 to Windows 7 without the update: at least the
        // current directory leaves the search.
        const auto setDirectory = reinterpret_cast<SetDllDirectoryFunction>(
            kernel ? reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryW")) : nullptr);
        if (setDirectory) setDirectory(L"");
    }
    return SearchRestricted;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    RestrictLibrarySearch();
    wchar_t path[MAX_PATH];
    const int nameLength = lstrlenW(name);
    const UINT systemLength = GetSystemDirectoryW(path, MAX_PATH);
    if (systemLength == 0 || systemLength + 1 + nameLength >= MAX_PATH) return nullptr;
    path[systemLength] = L'\\';
    lstrcpynW(path + systemLength + 1, name, MAX_PATH - systemLength - 1);
    return LoadLibraryW(path);
}

FARPROC SystemLibraryFunction(const wchar_t* library, const char* name) {
    const HMODULE module = LoadSystemLibrary(library);
    return module ? GetProcAddress(module, name) : nullptr;
}
