// Removing the installed files, their companion files and the folders they
// leave empty, and emptying the product's temporary preview folder.
#pragma once

#include <windows.h>

#include "framework/String.h"

class CRemovalRun;
class IRemovalProgress;

// Deletes every entry of `files` with its companion file, pruning emptied
// folders; stops at the first empty entry. An entry equal to `deferred` is
// left for a later call (the settings file that a rerun needs).
void RemoveInstalledFiles(const CStringList& files, CRemovalRun& run, const wchar_t* deferred = nullptr);

// The companion name of a listed file: the full path with every "." turned
// into "_", then ".ii".
CString CompanionNameOf(const wchar_t* path);

// Empties the 37 one-character subfolders of the preview folder and removes
// them and the folder, moving `progress` (when given) from 70 to 100.
void RemovePreviewFiles(const CString& preview, CRemovalRun& run, IRemovalProgress* progress);
