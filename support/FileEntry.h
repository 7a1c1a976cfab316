// A name acted on through a handle to the entry itself. The uninstaller runs
// with administrator rights on names that an ordinary program of the same
// user may have planted (in a drive root, in its own folder), so such a name
// is opened without following a link, what was opened is checked, and every
// change is made through that handle: a name swapped meanwhile is never the
// one changed.
#pragma once

#include <windows.h>

// Opens the entry at `path` as itself: a link as the link
// (FILE_FLAG_OPEN_REPARSE_POINT), a folder as the folder
// (FILE_FLAG_BACKUP_SEMANTICS). INVALID_HANDLE_VALUE when it cannot be
// opened, with the system's error.
HANDLE OpenEntryItself(const wchar_t* path, DWORD access, DWORD share);

// True when the information, read from such a handle, is that of a plain
// file: neither a folder nor a reparse point.
bool IsPlainFileEntry(const BY_HANDLE_FILE_INFORMATION& information);

// Sets the attributes of the entry through its handle (opened with
// FILE_WRITE_ATTRIBUTES). The attributes belong to the file, not to the
// name: every hard link of the file shows the change.
int SetEntryAttributes(HANDLE entry, DWORD attributes);

// Marks the entry for deletion through its handle (opened with DELETE): its
// name goes when the last handle to it is closed. Fails, as a deletion by
// name does, on a read-only file.
int MarkEntryForDeletion(HANDLE entry);
