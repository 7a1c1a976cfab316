// Folders held open while a removal walk acts in them. The walks run with
// administrator rights, while the folders above an installation may be
// writable by any user, who could plant a link (a junction, a symbolic link,
// a mount point) there or swap one in between a check and a use. So a walk
// reaches every folder by handle, each opened inside the one above it
// without following a link, and acts through those handles: a folder renamed
// away meanwhile is still the one acted on, and a link never leads it
// elsewhere.
//
// The held folders form a tree from their drive or share roots, and every
// folder a step meets stays held until the step ends (or the folder is
// removed): walks that move between branches, however the list is ordered,
// find their folders still held, each opened, checked and listed once,
// together with what was learnt of it: its attributes and, once listed, its
// entry count and whether it holds a "desktop.ini" or a link. A folder is
// found by its parent and name through a hash table, so the cost of a walk
// does not grow with the number of folders held. The walks act on one
// folder at a time, the current one.
#pragma once

#include <windows.h>

#include "framework/String.h"
#include "support/Handles.h"

class CRemovalRun;

class CHeldFolders {
public:
    // The folders' deletions are planned or made for `run`, and logged
    // through it.
    explicit CHeldFolders(CRemovalRun& run) : run_(run) {}
    ~CHeldFolders();
    CHeldFolders(const CHeldFolders&) = delete;
    CHeldFolders& operator=(const CHeldFolders&) = delete;

    // Holds the drive or share root of `folder` ("X:\a\b" or
    // "\\server\share\a\b") and every folder below it down to `folder`,
    // which becomes the current folder. Zero, with no current folder, when
    // a folder is missing, is a link or cannot be opened, or the path is no
    // full path of fewer than 256 characters. Folders held before stay held
    // as they are.
    int Hold(const wchar_t* folder);

    // Holds the folder `name` inside the current folder as the new current
    // one. Zero, changing nothing, when it is missing or a link.
    int HoldChild(const wchar_t* name);

    // Lets go of the current folder; the folder above becomes current.
    void LetGoOfCurrent();

    // Deletes the file at `path`, which lies in the current folder, through
    // a handle opened inside that folder; a link or a folder is left alone.
    // The file's attributes are cleared only where they stop the deletion,
    // and when it cannot be deleted at all, so what stays ends as a deletion
    // by name would leave it. Non-zero when the file was deleted.
    int DeleteFileInCurrent(const wchar_t* path);

    // Clears the attributes of the current folder through its handle, unless
    // they were found or left clear already.
    int ClearCurrentAttributes();

    // Whether the current folder holds a file named "desktop.ini", and
    // whether it may be empty: zero only when it holds entries that no
    // deletion here has taken away. Both come from one listing of the
    // folder, made when first needed and kept up to date with the deletions
    // made through this object.
    int CurrentHoldsDesktopIni();
    int CurrentMayBeEmpty();

    // Removes the current folder if it is empty; the folder above becomes
    // current then. It is opened once more by name inside the folder above,
    // and removed only when that is still the same folder. Never removes a
    // root.
    int RemoveCurrent();

    // The current directory of the walks. Each walk makes the parent of the
    // folder it is about to remove current; here that is recorded and made
    // the process's own only when it matters: before a folder is removed
    // (a current directory keeps its folder in use) and when the walks are
    // done. `exists` says the folder is known to exist (it is held), so
    // setting it would succeed; otherwise it is set at once, and where that
    // fails the current directory stays as it was.
    void SetWalkDirectory(const wchar_t* folder, int exists);
    void ApplyWalkDirectory();

    // Logs each held folder that a walk's climb came to and that stays (a
    // folder that goes is logged as it goes).
    void LogFoldersKept();

private:
    static constexpr int PathChars = 256;

    // What is known of a held folder: its identity, its attributes when held
    // or last cleared, and, once listed (entries >= 0), its entry count and
    // whether it holds a "desktop.ini" or a link.
    struct Knowledge {
        DWORD volume, indexHigh, indexLow;
        DWORD attributes;
        int entries;
        bool holdsDesktopIni;
        bool holdsLink;
        bool reached;      // a walk's climb came to it
        bool plannedGone;  // a plan has taken it for removed
    };
    // A folder held now, or let go of (no handle) and no longer found.
    struct Node {
        CFileHandle handle;
        int parent = -1;       // -1 for a root
        int firstChild = -1;   // the folders held inside it, linked
        int nextSibling = -1;  // through their nextSibling
        CString name;          // the root's text up to its last "\", or the folder's own name
        Knowledge known = {};
    };

    Node& NodeAt(int index) const { return *nodes_[index]; }
    int& FirstChildOf(int parent) { return parent < 0 ? firstRoot_ : NodeAt(parent).firstChild; }
    void Enter(int index);
    int NewNode(int parent, const wchar_t* name, int length);
    int FindChild(int parent, const wchar_t* name, int length) const;
    int HoldRoot(const wchar_t* folder, int rootLength);
    int HoldNext(int parent, const wchar_t* name, int length);
    int Adopt(CFileHandle& handle, int parent, const wchar_t* name, int length, const BY_HANDLE_FILE_INFORMATION& info);
    void LetGo(int index);
    void LetGoOfBelow(int index);
    int PathOf(int index, wchar_t* path) const;
    int ListCurrent();

    CRemovalRun& run_;
    // Every node made, each allocated on its own so that a reference to one
    // stays good while others are added; room for half as many as slots_.
    Node** nodes_ = nullptr;
    int nodeCount_ = 0;
    int firstRoot_ = -1;
    // The nodes by parent and name: open addressing, -1 for a free slot,
    // at most half the slots taken.
    int* slots_ = nullptr;
    int slotCount_ = 0;
    int current_ = -1;
    wchar_t walkDirectory_[PathChars] = L"";
    bool walkDirectoryPending_ = false;
};

// Called, when set, after a walk has held and checked its folders and before
// it acts in them. Tests use it to swap a folder at exactly that moment.
extern void (*RemovalCheckedHook)(const wchar_t* folder);
