// The walk that deletes one listed file (or its companion) and then climbs
// its folders, removing each one the walk has left empty.
#pragma once

#include <windows.h>

class CHeldFolders;
class CRemovalRun;

// How a walk treats the folders it climbs through.
enum class FolderRule {
    // The listed file's own walk: folders keep their attributes.
    KeepAttributes,
    // The companion's walk: each folder's attributes are cleared before its
    // removal is tried, unless it holds a "desktop.ini", which customises
    // its folder through them.
    ClearAttributes,
};

// Deletes the file at `path`, then removes its folder and each ancestor that
// is left empty, stopping at the first that cannot be removed and before the
// drive root. The folders are held in `held` while the walk acts in them (see
// removal/HeldFolders.h), which the next walk may share; the current
// directory it sets is made real by held.ApplyWalkDirectory(). A path of 512
// characters or more, or whose folder has 256 or more, changes nothing.
void DeleteFileAndEmptyFolders(const wchar_t* path, CHeldFolders& held, FolderRule rule);

// The same with folders held for this one walk, the current directory set
// at its end.
void DeleteFileAndEmptyFolders(const wchar_t* path, CRemovalRun& run, FolderRule rule);
