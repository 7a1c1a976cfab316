#include "support/Paths.h"

namespace {

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool IsDriveRoot(const wchar_t* path) {
    return IsDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\';
}

// The index just past "server\share\" starting at `from`, or zero when
// either name is empty or the share has no "\" after it.
int ShareRootEnd(const wchar_t* path, int from) {
    int separators = 0;
    for (int i = from; path[i] != L'\0'; ++i) {
        if (path[i] != L'\\') continue;
        if (i == from || path[i - 1] == L'\\') return 0;  // an empty name
        if (++separators == 2) return i + 1;
    }
    return 0;
}

bool StartsWithUnc(const wchar_t* path) {
    return (path[0] == L'U' || path[0] == L'u') && (path[1] == L'N' || path[1] == L'n') &&
           (path[2] == L'C' || path[2] == L'c') && path[3] == L'\\';
}

}  // namespace

int RootLength(const wchar_t* path) {
    if (!path) return 0;
    if (IsDriveRoot(path)) return 3;
    if (path[0] != L'\\' || path[1] != L'\\') return 0;
    // "\\?\" and "\\.\" name devices; a drive and a share through them are
    // roots like their plain forms.
    if ((path[2] == L'?' || path[2] == L'.') && path[3] == L'\\') {
        if (IsDriveRoot(path + 4)) return 7;
        if (path[2] == L'?' && StartsWithUnc(path + 4)) return ShareRootEnd(path, 8);
        return 0;
    }
    return ShareRootEnd(path, 2);
}

bool IsFullPath(const wchar_t* path) {
    return RootLength(path) > 0;
}

int GetWin32FullPath(const wchar_t* path, wchar_t* full, int capacity) {
    if (capacity <= 0) return 0;
    full[0] = L'\0';
    if (!path || !path[0]) return 0;
    // Windows takes a "\\?\" path as it is, with no clean-up at all.
    if (path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?' && path[3] == L'\\') {
        const int length = lstrlenW(path);
        if (length >= capacity) return 0;
        lstrcpynW(full, path, capacity);
        return length;
    }
    const DWORD length = GetFullPathNameW(path, static_cast<DWORD>(capacity), full, nullptr);
    if (length == 0 || length >= static_cast<DWORD>(capacity)) {
        full[0] = L'\0';
        return 0;
    }
    return static_cast<int>(length);
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

CFileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& information) {
    CFileIdentity identity;
    identity.volume = information.dwVolumeSerialNumber;
    identity.indexHigh = information.nFileIndexHigh;
    identity.indexLow = information.nFileIndexLow;
    identity.known = true;
    return identity;
}

CFileIdentity IdentityOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) return CFileIdentity();
    return IdentityOf(information);
}
