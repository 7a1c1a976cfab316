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

// The folder without its trailing "\" (a drive root keeps it): a query of
// that path describes the folder entry itself, where the path with the "\"
// would describe whatever a link there points to.
CString FolderEntryPath(const CString& folder) {
    const int length = folder.GetLength();
    if (length > 3 && folder.GetAt(length - 1) == L'\\') return CString(folder.GetString(), length - 1);
    return folder;
}

// CREATE_NEW's answers for a name that is already taken: by a file or a
// folder, or, under Wine, by a link that points to nothing.
bool IsNameTaken(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_NOT_FOUND;
}

// Creates a new, empty "inst0001.tmp" in the folder (or the first number whose
// name is free), which Windows deletes when its handle closes. CREATE_NEW never
// opens an existing entry, so whatever another program put under the name, a
// file or a link, is neither truncated nor followed, and no second operation
// by path can land on something put there in between.
bool CanCreateFileIn(const CString& folder) {
    CString name;
    for (int n = 1; n <= 9999; ++n) {
        name.Format(L"%sinst%04d.tmp", folder.GetString(), n);
        CFileHandle probe(
            CreateFileW(name, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (probe) return true;
        if (!IsNameTaken(GetLastError())) return false;
    }
    return false;
}

// The write test of one candidate folder (ending with "\"). The folder is
// made when it is missing. A folder that is a link is refused: files made
// there would land wherever it points. The program keeps no files in its work
// folder, so a folder that the test made is removed again afterwards, passed
// or not.
bool PassesWriteTest(const CString& candidate) {
    const bool existed = IsExistingFolder(candidate) != 0;
    if (!existed && !CreateFolderPath(candidate)) return false;
    const CString entry = FolderEntryPath(candidate);
    const DWORD attributes = GetFileAttributesW(entry);
    const bool plainFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                             !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    const bool passed = plainFolder && CanCreateFileIn(candidate);
    // RemoveDirectoryW removes only an empty folder; a link is left alone.
    if (!existed && plainFolder) RemoveDirectoryW(entry);
    return passed;
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

void SetWalkParentAfterFailedHold(const wchar_t* folder, wchar_t* parent, int capacity, CHeldFolders& held) {
    if (lstrlenW(folder) < 4 || !GetWalkParent(folder, parent, capacity)) return;
    held.SetWalkDirectory(parent, held.Hold(parent));
}

int DeleteFileAndEmptyFolders(const wchar_t* path) {
    CHeldFolders held;
    DeleteFileAndEmptyFolders(path, held);
    held.ApplyWalkDirectory();
    return 1;
}

int DeleteFileAndEmptyFolders(const wchar_t* path, CHeldFolders& held) {
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
    if (!held.Hold(folder)) {
        SetWalkParentAfterFailedHold(folder, parent, 256, held);
        return 1;
    }
    if (RemovalCheckedHook) RemovalCheckedHook(folder);
    held.DeleteFileInCurrent(path);

    while (lstrlenW(folder) >= 4) {
        if (!GetWalkParent(folder, parent, 256)) break;
        held.SetWalkDirectory(parent, 1);
        // A removal that cannot succeed is not tried: its only outcome would
        // be the stop of the climb.
        const int removed = held.CurrentMayBeEmpty() && held.RemoveCurrent();
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
