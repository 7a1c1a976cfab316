#include "support/Files.h"

#include "support/HeldFolders.h"

#include <shlobj.h>

#include "support/Handles.h"
#include "support/Registry.h"

namespace {

CString g_workFolder;

bool SearchFindsFolder(const wchar_t* path, bool wantFolder) {
    WIN32_FIND_DATAW found;
    CFindHandle search(FindFirstFileW(path, &found));
    if (!search) return false;
    const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return isFolder == wantFolder;
}

void EnsureTrailingBackslash(CString& path) {
    if (!path.IsEmpty() && path.GetAt(path.GetLength() - 1) != L'\\') path += L'\\';
}

// The path of a shell folder, falling back to the user's "Shell Folders" list.
CString ShellFolderPath(int csidl, const wchar_t* shellFoldersValue) {
    wchar_t path[MAX_PATH] = L"";
    LPITEMIDLIST list = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) && list) {
        if (!SHGetPathFromIDListW(list, path)) path[0] = L'\0';
        CoTaskMemFree(list);
    }
    if (path[0] == L'\0')
        ReadRegistryString(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                           shellFoldersValue, path);
    return CString(path);
}

bool PassesWriteTest(const CString& candidate) {
    if (!CreateFolderPath(candidate)) return false;
    CString probe;
    if (!CreateEmptyTempFile(candidate, L"inst", probe)) return false;
    if (!IsExistingFile(probe)) return false;
    SetFileAttributesW(probe, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(probe);
    return !IsExistingFile(probe);
}

}  // namespace

int FileExists(const wchar_t* path) { return SearchFindsFolder(path, false) ? 1 : 0; }

int FolderExists(const wchar_t* path) { return SearchFindsFolder(path, true) ? 1 : 0; }

int IsExistingFile(const wchar_t* path) {
    if (!path || path[0] == L'\0') return 0;
    return (GetFileAttributesW(path) & FILE_ATTRIBUTE_DIRECTORY) == 0 ? 1 : 0;
}

int IsExistingFolder(const wchar_t* path) {
    if (!path || path[0] == L'\0') return 0;
    const DWORD attributes = GetFileAttributesW(path);
    return (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) ? 1 : 0;
}

void DeleteFileIfPresent(const wchar_t* path) {
    if (!FileExists(path)) return;
    SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path);
}

namespace {

bool IsFullPath(const wchar_t* path) {
    return (path[0] != L'\0' && path[1] == L':' && path[2] == L'\\') || (path[0] == L'\\' && path[1] == L'\\');
}

}  // namespace

bool IsFolderBelowRoot(const wchar_t* folder) {
    const int length = lstrlenW(folder);
    if (length < 4 || length >= 256 || !IsFullPath(folder)) return false;
    wchar_t full[MAX_PATH];
    const DWORD fullLength = GetFullPathNameW(folder, MAX_PATH, full, nullptr);
    if (fullLength == 0 || fullLength >= MAX_PATH) return false;
    int end = static_cast<int>(fullLength);
    while (end > 0 && full[end - 1] == L'\\') --end;
    if (full[0] == L'\\' && full[1] == L'\\') {
        // "\\server\share" is the root; a folder needs a third component.
        int separators = 0;
        for (int i = 2; i < end; ++i)
            if (full[i] == L'\\') ++separators;
        return separators >= 2;
    }
    return end > 3;
}

bool IsRootFolder(const wchar_t* folder) {
    return IsFullPath(folder) && lstrlenW(folder) < 256 && !IsFolderBelowRoot(folder);
}

bool GetWalkParent(const wchar_t* folder, wchar_t* parent, int capacity) {
    int cut = -1;
    for (int i = lstrlenW(folder) - 1; i > 0; --i) {
        if (folder[i] == L'\\') {
            cut = i;
            break;
        }
    }
    if (cut < 0) {
        parent[0] = L'\0';
        return true;
    }
    // "C:" alone would mean "the current directory on C:", so keep the "\".
    const int length = (cut == 2 && folder[1] == L':') ? cut + 1 : cut;
    if (length >= capacity) return false;
    lstrcpynW(parent, folder, length + 1);
    return true;
}

int DeleteFileAndEmptyFolders(const wchar_t* path) {
    wchar_t folder[512];
    wchar_t parent[256];
    if (lstrlenW(path) >= 512) return 1;
    lstrcpynW(folder, path, 512);
    wchar_t* lastSlash = wcsrchr(folder, L'\\');
    if (!lastSlash) return 1;
    *lastSlash = L'\0';
    // The parent of every folder on the walk must fit its 256-character buffer.
    if (lstrlenW(folder) >= 256) return 1;

    // The file's folders are held while the walk acts in them, and none may
    // be a link: one planted or swapped in above the file would lead the
    // deletions elsewhere. A file whose folder is gone is gone too.
    CHeldFolderChain held;
    if (!held.Hold(folder)) return 1;
    if (RemovalCheckedHook) RemovalCheckedHook(folder);
    held.DeleteFileInDeepest(path);

    while (lstrlenW(folder) >= 4) {
        if (!GetWalkParent(folder, parent, 256)) break;
        SetCurrentDirectoryW(parent);
        const int removed = held.RemoveDeepest();
        wchar_t* cut = wcsrchr(folder, L'\\');
        if (!removed || !cut) break;
        *cut = L'\0';
    }
    return 1;
}

int CreateFolderPath(const wchar_t* folderPath) {
    const int length = folderPath ? lstrlenW(folderPath) : 0;
    if (length == 0 || folderPath[length - 1] != L'\\') return 0;
    if (IsExistingFolder(folderPath)) return 1;

    // Cut at the start of the last component: after the last "\" that is
    // followed by another character.
    const wchar_t* lastComponent = nullptr;
    for (const wchar_t* c = folderPath; *c; c = CharNextW(c))
        if (*c == L'\\' && c[1] != L'\0') lastComponent = c + 1;
    const CString parent = lastComponent ? CString(folderPath, static_cast<int>(lastComponent - folderPath))
                                         : CString();
    if (!CreateFolderPath(parent)) return 0;
    if (IsExistingFolder(folderPath)) return 1;
    const CString withoutSlash(folderPath, length - 1);
    return CreateDirectoryW(withoutSlash, nullptr) ? 1 : 0;
}

CString MakeUniqueFileName(const wchar_t* extension, const wchar_t* folderPath, const wchar_t* prefix) {
    CString lowerExtension(extension);
    lowerExtension.MakeLower();
    CString folder = (folderPath && folderPath[0]) ? CString(folderPath) : GetWorkFolder();
    if (folder.IsEmpty() || folder.GetAt(folder.GetLength() - 1) != L'\\') folder += L'\\';
    const wchar_t* namePrefix = (prefix && prefix[0]) ? prefix : L"inst";
    CString name;
    for (int n = 1; n <= 9999; ++n) {
        name.Format(L"%s%s%04d.%s", folder.GetString(), namePrefix, n, lowerExtension.GetString());
        if (!FileExists(name)) return name;
    }
    return CString();
}

int CreateEmptyTempFile(const wchar_t* folderPath, const wchar_t* prefix, CString& path) {
    CString name = MakeUniqueFileName(L"tmp", folderPath, prefix);
    if (name.IsEmpty()) return 0;
    path = name;
    CFileHandle file(CreateNewFile(path));
    return 1;
}

int FindWorkFolder(CString& folder) {
    folder = ShellFolderPath(CSIDL_LOCAL_APPDATA, L"Local AppData");
    if (!folder.IsEmpty()) {
        EnsureTrailingBackslash(folder);
        folder += L"Quorvex\\";
        if (PassesWriteTest(folder)) return 1;
        folder.Empty();
    }

    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length > 0 && length < MAX_PATH) {
        folder = temp;
        EnsureTrailingBackslash(folder);
        if (PassesWriteTest(folder)) return 1;
        folder.Empty();
    }

    folder = ShellFolderPath(CSIDL_APPDATA, L"AppData");
    if (folder.IsEmpty()) return 0;
    EnsureTrailingBackslash(folder);
    folder += L"Quorvex\\";
    return PassesWriteTest(folder) ? 1 : 0;
}

CString GetWorkFolder() {
    if (g_workFolder.IsEmpty()) FindWorkFolder(g_workFolder);
    return g_workFolder;
}

HANDLE CreateNewFile(const wchar_t* path) {
    return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

int WriteBytes(HANDLE file, const void* data, DWORD count) {
    DWORD written = 0;
    return (WriteFile(file, data, count, &written, nullptr) && written == count) ? 1 : 0;
}

BOOL CloseFile(HANDLE file) { return CloseHandle(file); }
