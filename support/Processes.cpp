#include "support/Processes.h"

#include <tlhelp32.h>

#include "support/Handles.h"

namespace {

using QueryImageNameFunction = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
// PROCESS_QUERY_LIMITED_INFORMATION: granted for processes of other users
// and sessions where fuller rights are not.
constexpr DWORD QueryLimitedInformation = 0x1000;

// Whether `path` lies in `folder` (ending in "\"), compared without regard
// to case as the file system compares names.
bool LiesIn(const wchar_t* path, const wchar_t* folder) {
    const int folderLength = lstrlenW(folder);
    if (folderLength < 4 || folder[folderLength - 1] != L'\\' || lstrlenW(path) <= folderLength) return false;
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path, folderLength, folder, folderLength) == CSTR_EQUAL;
}

}  // namespace

int FindProcessInFolder(const wchar_t* folder, CString& name, DWORD& id) {
    const auto queryImageName = reinterpret_cast<QueryImageNameFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW")));
    if (!queryImageName || !folder) return 0;
    CFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == self || entry.th32ProcessID == 0) continue;
        CKernelHandle process(OpenProcess(QueryLimitedInformation, FALSE, entry.th32ProcessID));
        if (!process) continue;
        wchar_t image[MAX_PATH];
        DWORD length = MAX_PATH;
        if (!queryImageName(process.Get(), 0, image, &length) || length >= MAX_PATH) continue;
        image[length] = L'\0';
        if (!LiesIn(image, folder)) continue;
        name = image;
        id = entry.th32ProcessID;
        return 1;
    }
    return 0;
}
