#include "support/Files.h"

#include "support/Handles.h"
namespace {

bool SearchFindsFolder(const wchar_t* path, bool wantFolder) {
    WIN32_FIND_DATAW found;
    CFindHandle search(FindFirstFileW(path, &found));
    if (!search) return false;
    const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return isFolder == wantFolder;
}

}  // namespace

int FileExists(const wchar_t* path) {
    return SearchFindsFolder(path, false) ? 1 : 0;
}

int FolderExists(const wchar_t* path) {
    return SearchFindsFolder(path, true) ? 1 : 0;
}

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
