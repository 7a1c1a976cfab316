// Folders held open while a removal walk acts in them. The walks run with
// administrator rights, while the folders above an installation may be
// writable by any user, who could plant a link (a junction, a symbolic link,
// a mount point) there or swap one in between a check and a use. So a walk
// reaches every folder by handle, each opened inside the one above it
// without following a link, and acts through those handles: a folder renamed
// away meanwhile is still the one acted on, and a link never leads it
// elsewhere.
#pragma once

#include <windows.h>

#include "support/Handles.h"

class CHeldFolderChain {
public:
    CHeldFolderChain() = default;
    CHeldFolderChain(const CHeldFolderChain&) = delete;
    CHeldFolderChain& operator=(const CHeldFolderChain&) = delete;

    // Holds the drive or share root of `folder` ("X:\a\b" or
    // "\\server\share\a\b") and every folder below it down to `folder`. Zero,
    // holding nothing, when a folder is missing, is a link or cannot be
    // opened, or the path is no full path of fewer than 256 characters.
    // Folders that an earlier Hold took and that the new path runs through
    // stay held as they are.
    int Hold(const wchar_t* folder);

    // Lets go of the deepest held folder.
    void LetGoOfDeepest();

    // Holds the folder `name` inside the deepest held folder as the new
    // deepest one. Zero, changing nothing, when it is missing or a link.
    int HoldChild(const wchar_t* name);

    // Clears the attributes of the file at `path`, which lies in the deepest
    // folder, and deletes it, through one handle opened inside that folder;
    // a link is left alone.
    void DeleteFileInDeepest(const wchar_t* path);

    // Clears the attributes of the deepest folder through its handle.
    int ClearDeepestAttributes();

    // Removes the deepest folder if it is empty, and lets go of it then. It
    // is opened once more by name inside the folder above, and removed only
    // when that is still the same folder. A folder that stays may stay held.
    // Never removes the root.
    int RemoveDeepest();

private:
    static constexpr int MaximumDepth = 128;
    static constexpr int PathChars = 256;
    void LetGoOfAll();
    int HoldNext(int nameStart, int nameEnd);

    CFileHandle folders_[MaximumDepth];
    // folders_[i] is named by path_ from nameStart_[i] up to nameEnd_[i]; its
    // path is path_ up to nameEnd_[i]. folders_[0] is the root.
    wchar_t path_[PathChars] = L"";
    int nameStart_[MaximumDepth] = {};
    int nameEnd_[MaximumDepth] = {};
    int count_ = 0;
};

// Called, when set, after a walk has held and checked its folders and before
// it acts in them. Tests use it to swap a folder at exactly that moment.
extern void (*RemovalCheckedHook)(const wchar_t* folder);
