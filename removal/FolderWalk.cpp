#include "removal/FolderWalk.h"

#include <wchar.h>

#include "removal/HeldFolders.h"
#include "support/Paths.h"

namespace {

constexpr int PathChars = 512;
constexpr int FolderChars = 256;

// A walk whose folder cannot be held deletes nothing, but its climb would
// still have made the folder's parent current first: that is recorded.
void SetWalkParentAfterFailedHold(const wchar_t* folder, CHeldFolders& held) {
    wchar_t parent[FolderChars];
    if (lstrlenW(folder) < 4 || !GetWalkParent(folder, parent, FolderChars)) return;
    held.SetWalkDirectory(parent, held.Hold(parent));
}

}  // namespace

void DeleteFileAndEmptyFolders(const wchar_t* path, CHeldFolders& held, FolderRule rule) {
    // The path as DeleteFileW would take it: "/" inside, doubled separators
    // and trailing dots or blanks name the same file for it, so they do here.
    wchar_t file[PathChars];
    if (lstrlenW(path) >= PathChars || !GetWin32FullPath(path, file, PathChars)) return;
    const int root = RootLength(file);
    wchar_t* lastSlash = wcsrchr(file, L'\\');
    if (root == 0 || !lastSlash || lastSlash[1] == L'\0') return;
    wchar_t folder[PathChars];
    // A file directly in a root keeps the root's "\": "C:" would be the
    // current directory on C:.
    const int folderLength = static_cast<int>(lastSlash - file) < root ? root : static_cast<int>(lastSlash - file);
    lstrcpynW(folder, file, folderLength + 1);
    // The parent of every folder on the walk must fit its buffer.
    if (folderLength >= FolderChars) return;

    // The file's folders are held while the walk acts in them, and none may
    // be a link: one planted or swapped in above the file would lead the
    // deletions elsewhere. A file whose folder is gone is gone too.
    if (!held.Hold(folder)) {
        SetWalkParentAfterFailedHold(folder, held);
        return;
    }
    if (RemovalCheckedHook) RemovalCheckedHook(folder);
    held.DeleteFileInCurrent(file);

    // The climb ends below the root: a root is never removed.
    wchar_t parent[FolderChars];
    while (lstrlenW(folder) > root) {
        if (!GetWalkParent(folder, parent, FolderChars)) break;
        held.SetWalkDirectory(parent, 1);
        if (rule == FolderRule::ClearAttributes && !held.CurrentHoldsDesktopIni()) held.ClearCurrentAttributes();
        // A removal that cannot succeed is not tried: its only outcome would
        // be the stop of the climb.
        const int removed = held.CurrentMayBeEmpty() && held.RemoveCurrent();
        wchar_t* cut = wcsrchr(folder, L'\\');
        if (!removed || !cut) break;
        *cut = L'\0';
    }
}

void DeleteFileAndEmptyFolders(const wchar_t* path, CRemovalRun& run, FolderRule rule) {
    CHeldFolders held(run);
    DeleteFileAndEmptyFolders(path, held, rule);
    held.ApplyWalkDirectory();
}
