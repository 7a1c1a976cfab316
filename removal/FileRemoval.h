// Removing the installed files, their companion files and the folders they
// leave empty, and emptying the product's temporary preview folder.
#pragma once

class CHeldFolders;

#include <windows.h>

#include "framework/String.h"

// Deletes every entry of UninstallRecord.FilesToRemove with its companion
// file, pruning emptied folders; stops at the first empty entry.
void RemoveInstalledFiles();

// The companion name of a listed file: the full path with every "." turned
// into "_", then ".ii".
CString CompanionNameOf(const wchar_t* path);

// Deletes the file, then removes its folder and each emptied ancestor; a
// folder holding a "desktop.ini" keeps its attributes. Always non-zero.
int DeleteCompanionAndEmptyFolders(const wchar_t* path);
// The same, holding the folders in `held`, which the next walk may share.
int DeleteCompanionAndEmptyFolders(const wchar_t* path, CHeldFolders& held);

// Empties the 37 one-character subfolders of UninstallRecord.PreviewFolder
// and removes them and the folder, moving the page's progress bar (control
// 1016) from 70 to 100.
void RemovePreviewFiles(HWND page);
