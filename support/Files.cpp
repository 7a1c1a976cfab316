#include "support/Files.h"

#include "support/Handles.h"
#include "support/Paths.h"

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

// The full form of `folder` (see GetWin32FullPath) with one "\" at its end,
// in `full` of MAX_PATH characters; its length, or zero.
// A relative path ("Apps", "\\Apps", "C:Apps") would be taken against the
// current directory, which the walks keep moving: it has no form here.
int FullFolderForm(const wchar_t* folder, wchar_t* full) {
    const int length = lstrlenW(folder);
    const bool rooted = IsFullPath(folder) || (folder[0] == L'\\' && folder[1] == L'\\');
    if (!rooted || length >= 256) return 0;
    int fullLength = GetWin32FullPath(folder, full, MAX_PATH - 1);
    if (fullLength == 0) return 0;
    if (full[fullLength - 1] != L'\\') {
        full[fullLength++] = L'\\';
        full[fullLength] = L'\0';
    }
    return fullLength;
}

}  // namespace

bool IsFolderBelowRoot(const wchar_t* folder) {
    wchar_t full[MAX_PATH];
    const int length = FullFolderForm(folder, full);
    const int root = RootLength(full);
    return length > 0 && root > 0 && length > root;
}

bool IsRootFolder(const wchar_t* folder) {
    wchar_t full[MAX_PATH];
    const int length = FullFolderForm(folder, full);
    if (length == 0) return false;
    const int root = RootLength(full);
    // A server alone or a device path counts as a root too.
    return root == length || (root == 0 && full[0] == L'\\' && full[1] == L'\\');
}
