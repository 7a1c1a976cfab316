#include "removal/FileRemoval.h"

#include <wchar.h>

#include "removal/FolderWalk.h"
#include "removal/HeldFolders.h"
#include "removal/Removal.h"
#include "removal/RemovalRun.h"
#include "support/Files.h"
#include "support/Handles.h"
#include "support/NativeFiles.h"
#include "support/Paths.h"
#include "support/UserRights.h"

namespace {

// Paths are handled in buffers of 256 characters: a listed path leaves room
// for its companion name (three characters longer).
constexpr int PathBufferChars = 256;
constexpr int ListedPathLimit = 252;
const wchar_t PreviewParentMarker[] = L"Temporary Preview Files";

// True when a component of the path is "." or "..": such a path leads the
// folder walk to folders that nothing listed lies in. Windows separates
// components at "/" as well as at "\".
bool HasDotComponent(const wchar_t* path) {
    const wchar_t* start = path;
    for (const wchar_t* c = path;; ++c) {
        if (*c != L'\\' && *c != L'/' && *c != L'\0') continue;
        const int length = static_cast<int>(c - start);
        if ((length == 1 && start[0] == L'.') || (length == 2 && start[0] == L'.' && start[1] == L'.')) return true;
        if (*c == L'\0') return false;
        start = c + 1;
    }
}

// A listed entry is acted on only when it is a full path within the limit
// (see RootLength) and holds no wildcard. A relative path would be taken
// against the current directory, which the folder walks keep moving.
// Returns 0 for a usable entry, else the reason it is skipped.
DWORD WhyListedPathIsUnusable(const CString& path) {
    const int length = path.GetLength();
    const wchar_t* text = path.GetString();
    if (length > ListedPathLimit) return ERROR_FILENAME_EXCED_RANGE;
    if (length < 4 || !IsFullPath(text)) return ERROR_BAD_PATHNAME;
    // The "?" of a "\\?\" prefix is no wildcard.
    for (int i = text[2] == L'?' ? 4 : 0; i < length; ++i)
        if (text[i] == L'*' || text[i] == L'?') return ERROR_INVALID_NAME;
    return HasDotComponent(text) ? ERROR_BAD_PATHNAME : 0;
}

// Deletes the files directly inside the held preview subfolder; names that
// begin with "." and sub-subfolders stay. The names are listed through the
// folder's path, but every deletion goes through the held folder, so a list
// read through a link deletes nothing outside it.
void EmptyPreviewSubfolder(CHeldFolders& held, const wchar_t* subfolder, const wchar_t* pattern) {
    WIN32_FIND_DATAW found;
    CFindHandle search(FindFirstFileW(pattern, &found));
    if (!search) return;
    const int subfolderLength = lstrlenW(subfolder);
    do {
        if (found.cFileName[0] == L'\0' || found.cFileName[0] == L'.') continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        // The search reports a reparse point's tag in dwReserved0.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && NativeFiles::IsLinkTag(found.dwReserved0))
            continue;
        if (subfolderLength + 1 + lstrlenW(found.cFileName) >= PathBufferChars) continue;
        wchar_t file[PathBufferChars];
        wsprintfW(file, L"%s\\%s", subfolder, found.cFileName);
        held.DeleteFileInCurrent(file);
    } while (FindNextFileW(search.Get(), &found));
}

}  // namespace

CString CompanionNameOf(const wchar_t* path) {
    CString companion;
    const wchar_t* run = path;
    for (const wchar_t* c = path;; ++c) {
        if (*c != L'.' && *c != L'\0') continue;
        companion.Append(run, static_cast<int>(c - run));
        if (*c == L'\0') break;
        companion += L'_';
        run = c + 1;
    }
    companion += L".ii";
    return companion;
}

void RemoveInstalledFiles(const CStringList& files, CRemovalRun& run, const wchar_t* deferred) {
    // One set of held folders for all entries: each folder is opened,
    // checked and listed once, however the list moves between folders.
    CHeldFolders held(run);
    for (int i = 0; i < files.GetCount(); ++i) {
        const CString& entry = files.GetAt(i);
        if (entry.IsEmpty()) {
            if (i + 1 < files.GetCount()) run.Note(L"The file list ends at an empty entry; the entries after it stay.");
            break;
        }
        if (deferred && deferred[0] && entry == deferred) continue;
        if (const DWORD reason = WhyListedPathIsUnusable(entry)) {
            run.Log(L"file", entry, LogOutcome::Skipped, reason);
            continue;
        }
        // An entry that names a folder is left alone (the walks delete files
        // only, and clearing its attributes would undo its customisation);
        // its companion file still goes.
        DeleteFileAndEmptyFolders(entry, held, FolderRule::KeepAttributes);
        DeleteFileAndEmptyFolders(CompanionNameOf(entry), held, FolderRule::ClearAttributes);
        if (RemovalPointHook) RemovalPointHook(RemovalPoint::FileEntry, i);
    }
    held.LogFoldersKept();
    held.ApplyWalkDirectory();
}

void RemovePreviewFiles(const CString& preview, CRemovalRun& run, IRemovalProgress* progress) {
    // The folder comes from HKCU, which the user's unelevated programs can
    // write, so the step may do only what the user could do without
    // elevation.
    const CUserRightsScope userRights;
    if (!userRights.MayAct()) return;
    if (preview.IsEmpty() || !FolderExists(preview)) return;
    // The search pattern "<folder>\c\*.*" must fit the path buffer.
    if (preview.GetLength() + 6 >= PathBufferChars) return;
    // A root itself, a relative path or one that "." or ".." components lead
    // back to a root would have the step empty the root's one-letter folders.
    if (!IsFolderBelowRoot(preview)) return;
    // The preview folder and each subfolder are held while the step acts in
    // them, and none may be a link (see CHeldFolders).
    // Held and named in the form Win32 gives the path ("/" read as "\",
    // trailing dots dropped, ...), as the calls by name would take it.
    wchar_t folder[PathBufferChars - 6];
    if (!GetWin32FullPath(preview, folder, PathBufferChars - 6)) return;
    CHeldFolders held(run);
    if (!held.Hold(folder)) return;
    if (RemovalCheckedHook) RemovalCheckedHook(folder);

    int done = 0;
    for (wchar_t c = L'0'; c <= L'Z'; ++c) {
        if (c >= 0x3A && c <= 0x3F) continue;  // ':' to '?' are no subfolder names
        wchar_t name[2] = {c, L'\0'};
        wchar_t subfolder[PathBufferChars];
        wchar_t pattern[PathBufferChars];
        wsprintfW(subfolder, L"%s\\%c", folder, c);
        wsprintfW(pattern, L"%s\\%c\\*.*", folder, c);
        const bool plain = held.HoldChild(name) != 0;
        if (plain && RemovalCheckedHook) RemovalCheckedHook(subfolder);
        if (plain) EmptyPreviewSubfolder(held, subfolder, pattern);
        done += 30;
        if (progress) progress->SetPosition(70 + done / 37);
        if (plain) {
            held.ClearCurrentAttributes();
            if (!held.RemoveCurrent()) held.LetGoOfCurrent();
        }
    }
    const int removed = held.RemoveCurrent();

    // The folder above is held already; RemoveCurrent never removes a root.
    const wchar_t* lastSlash = wcsrchr(folder, L'\\');
    if (removed && lastSlash && wcscmp(lastSlash + 1, PreviewParentMarker) == 0) held.RemoveCurrent();
}
