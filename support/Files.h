// File and folder utilities: existence tests and the folder rules of the
// removal walks.
#pragma once

#include <windows.h>

#include "framework/String.h"

// True when a search for the path finds an entry that is not / is a folder.
// A trailing "\" finds nothing; a drive root is never a folder here.
int FileExists(const wchar_t* path);
int FolderExists(const wchar_t* path);

// Attribute-based tests; zero for a null or empty path. IsExistingFolder
// accepts a trailing "\".
int IsExistingFile(const wchar_t* path);
int IsExistingFolder(const wchar_t* path);

// True for a full path ("X:\..." or "\\server\share\...", under 256
// characters) that names a folder below its drive or share root once "." and
// ".." components are resolved.
bool IsFolderBelowRoot(const wchar_t* folder);
// True for a full path that names a drive or share root itself ("C:\",
// "\\server\share\", "C:\Apps\..").
bool IsRootFolder(const wchar_t* folder);
