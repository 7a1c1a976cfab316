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
    // root. Non-zero when the folder has gone, or is marked for deletion and
    // goes when another program closes it: the folder above is current then.
    // Zero when it stays, and stays current.
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

    // What is known of a held folder: its identity (its volume, which a
    // folder below a root shares with the folder it was opened in, and its
    // file index), its attributes when held or last cleared, and, once
    // listed (entries >= 0), its entry count and whether it holds a
    // "desktop.ini" or a link.
    struct Knowledge {
        DWORD volume;
        ULARGE_INTEGER index;
        DWORD attributes;
        int entries;
        bool holdsDesktopIni;
        bool holdsLink;
        bool reached;      // a walk's climb came to it
        bool plannedGone;  // a plan has taken it for removed
    };
    // A folder held now, or let go of (no handle) and no longer found. Each
    // node is allocated on its own and never moves.
    struct Node {
        CFileHandle handle;
        Node* parent = nullptr;       // null for a root
        Node* firstChild = nullptr;   // the folders held inside it, linked
        Node* nextSibling = nullptr;  // through their nextSibling
        Node* nextMade = nullptr;     // every node, in the order made
        CString name;                 // the root's text up to its last "\", or the folder's own name
        Knowledge known = {};
    };

    void Enter(Node* node);
    Node* NewNode(Node* parent, const wchar_t* name, int length);
    Node* FindChild(const Node* parent, const wchar_t* name, int length) const;
    Node* HoldRoot(const wchar_t* folder, int rootLength);
    Node* HoldNext(Node* parent, const wchar_t* name, int length);
    Node* Adopt(CFileHandle& handle, Node* parent, const wchar_t* name, int length, const Knowledge& facts);
    void LetGo(Node* node);
    void LetGoOfBelow(Node* node);
    int PathOf(const Node* node, wchar_t* path) const;
    int ListCurrent();

    CRemovalRun& run_;
    Node* firstRoot_ = nullptr;
    Node* firstMade_ = nullptr;
    Node** lastMade_ = &firstMade_;
    int nodeCount_ = 0;
    // The nodes by parent and name: open addressing, null for a free slot,
    // at most half the slots taken.
    Node** slots_ = nullptr;
    int slotCount_ = 0;
    Node* current_ = nullptr;
    wchar_t walkDirectory_[PathChars] = L"";
    bool walkDirectoryPending_ = false;
};

// Called, when set, after a walk has held and checked its folders and before
// it acts in them. Tests use it to swap a folder at exactly that moment.
extern void (*RemovalCheckedHook)(const wchar_t* folder);
