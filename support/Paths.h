// Paths as Win32 takes them: where the root of a full path ends, the form
// the system gives a path before it reaches the file system, the parent a
// folder walk moves to, and the identity of an open file or folder. The log
// writer, the removal walks and the rules for listed paths all read paths
// through these, so they agree on what a path names.
#pragma once

#include <windows.h>

// The index just past the root of a full path: 3 for "X:\", 7 for "\\?\X:\"
// and "\\.\X:\", the index after the share's "\" for "\\server\share\" and
// "\\?\UNC\server\share\". Zero for anything else: a relative path, a bare
// "X:" or "\\server\share" without its "\", an empty server or share name,
// and other device paths ("\\?\Volume{...}\", "\\.\PIPE\").
int RootLength(const wchar_t* path);

// True for a path that has a root by the rule above.
bool IsFullPath(const wchar_t* path);

// The path as Win32 hands it to the file system (GetFullPathNameW): "/"
// read as "\", doubled separators joined, "." and ".." resolved, a single
// trailing dot of a folder name and the trailing dots and blanks of the last
// name dropped. "\\?\" paths stay as they are. Returns the length, or zero
// when the path is empty or its full form does not fit in `capacity`
// characters; `full` is then left empty.
int GetWin32FullPath(const wchar_t* path, wchar_t* full, int capacity);

// The folder a removal walk makes current before it removes `folder`: the
// folder cut at its last "\" at an index above 0. For a folder directly below
// a drive root that is the root itself ("C:\"), not the bare drive ("C:"),
// which would name the current directory and keep the folder in use.
// Writes the empty text when there is no such "\". Returns false when the
// parent does not fit in `capacity` characters.
bool GetWalkParent(const wchar_t* folder, wchar_t* parent, int capacity);

// The identity of a file or folder: its volume and file index. Two handles
// with one identity are open on the same entry, whatever names led to them.
struct CFileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool known = false;
    bool Is(const CFileIdentity& other) const {
        return known && other.known && volume == other.volume && indexHigh == other.indexHigh &&
               indexLow == other.indexLow;
    }
};
CFileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& information);
// Unknown when the handle's information cannot be read.
CFileIdentity IdentityOfHandle(HANDLE handle);
