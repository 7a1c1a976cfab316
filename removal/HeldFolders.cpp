#include "removal/HeldFolders.h"

#include <wchar.h>

#include "removal/RemovalRun.h"
#include "support/NativeFiles.h"
#include "support/Paths.h"

using namespace NativeFiles;

namespace {

// ERROR_REPARSE_POINT_ENCOUNTERED: the reason logged for a link left alone.
constexpr DWORD LinkLeftAlone = 4395;
// Attributes that a clearing to FILE_ATTRIBUTE_NORMAL leaves in place.
constexpr DWORD ClearedAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL;

// A file with more than one name (hard link) shares its attributes with its
// other names, which may lie anywhere on the volume: anyone who can write a
// listed file's folder can put there a second name of a protected read-only
// file. Its read-only mark is never cleared, which would change that file
// too; deleting the name alone is harmless. A count that cannot be read
// counts as more than one.
bool HasOtherNames(HANDLE file) {
    return LinkCountOf(file) != 1;
}

// Clears the attributes of the file `name` inside `folder` through a second
// handle that may write them. With `same` given (a handle already open on
// the file), only when the second handle is open on that very file: the
// name may have been swapped between the two openings. A link or a file
// with other names keeps its attributes.
void ClearAttributesOfSameFile(HANDLE folder, const wchar_t* name, int length, HANDLE same) {
    CFileHandle file(
        OpenInside(folder, name, length, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, ShareAll, NonDirectoryFile));
    BY_HANDLE_FILE_INFORMATION information;
    if (!file || HandleIsLink(file.Get(), &information) || HasOtherNames(file.Get())) return;
    if (same != INVALID_HANDLE_VALUE && !IdentityOf(information).Is(IdentityOfHandle(same))) return;
    SetBasicAttributes(file.Get(), FILE_ATTRIBUTE_NORMAL);
}

// True for "desktop.ini" in any letter case, compared ordinally.
bool IsDesktopIni(const wchar_t* name, int length) {
    static const wchar_t expected[] = L"desktop.ini";
    if (length != 11) return false;
    for (int i = 0; i < length; ++i) {
        const wchar_t c = (name[i] >= L'A' && name[i] <= L'Z') ? static_cast<wchar_t>(name[i] + 32) : name[i];
        if (c != expected[i]) return false;
    }
    return true;
}

// The place of a held folder in the table of held folders: FNV-1a over its
// parent's address and its name's characters.
unsigned HashOf(const void* parent, const wchar_t* name, int length) {
    unsigned hash = (2166136261u ^ static_cast<unsigned>(reinterpret_cast<UINT_PTR>(parent))) * 16777619u;
    for (int i = 0; i < length; ++i) hash = (hash ^ name[i]) * 16777619u;
    return hash;
}

// One log line for a file or folder: done, or (in a plan) to be done.
void LogOutcomeOf(const CRemovalRun& run, const wchar_t* what, const wchar_t* path, bool done, DWORD reason) {
    const bool plan = run.IsPlan() != 0;
    const LogOutcome outcome = done ? (plan ? LogOutcome::WouldRemove : LogOutcome::Removed)
                                    : (plan ? LogOutcome::WouldKeep : LogOutcome::Kept);
    run.Log(what, path, outcome, done ? 0 : reason);
}

}  // namespace

void (*RemovalCheckedHook)(const wchar_t* folder) = nullptr;

CHeldFolders::~CHeldFolders() {
    for (Node* node = firstMade_; node;) {
        Node* next = node->nextMade;
        delete node;
        node = next;
    }
    delete[] slots_;
}

CHeldFolders::Node* CHeldFolders::FindChild(const Node* parent, const wchar_t* name, int length) const {
    if (slotCount_ == 0) return nullptr;
    const unsigned mask = static_cast<unsigned>(slotCount_ - 1);
    for (unsigned slot = HashOf(parent, name, length) & mask;; slot = (slot + 1) & mask) {
        Node* node = slots_[slot];
        if (!node) return nullptr;
        // A folder let go of stays in the table, no longer found.
        if (node->handle && node->parent == parent && node->name.GetLength() == length &&
            wcsncmp(node->name.GetString(), name, static_cast<size_t>(length)) == 0)
            return node;
    }
}

// Enters `node` in the table, at the first free slot from its hash.
void CHeldFolders::Enter(Node* node) {
    unsigned slot = HashOf(node->parent, node->name.GetString(), node->name.GetLength());
    while (slots_[slot &= slotCount_ - 1]) ++slot;
    slots_[slot] = node;
}

// A new node for the folder `name` inside `parent`, entered in the table and
// in its parent's list of children; null when memory runs out.
CHeldFolders::Node* CHeldFolders::NewNode(Node* parent, const wchar_t* name, int length) {
    if (2 * nodeCount_ >= slotCount_) {
        // Every node entered anew in a table twice as large (to 2^28 slots,
        // beyond the folders of any volume).
        const int count = slotCount_ ? 2 * slotCount_ : 128;
        if (static_cast<unsigned>(count) > (1u << 28)) return nullptr;
        Node** slots = new Node*[count]();
        if (!slots) return nullptr;
        delete[] slots_;
        slots_ = slots;
        slotCount_ = count;
        for (Node* made = firstMade_; made; made = made->nextMade) Enter(made);
    }
    Node* node = new Node;
    if (!node) return nullptr;
    node->name = CString(name, length);
    node->parent = parent;
    Node*& first = parent ? parent->firstChild : firstRoot_;
    node->nextSibling = first;
    first = node;
    *lastMade_ = node;
    lastMade_ = &node->nextMade;
    ++nodeCount_;
    Enter(node);
    return node;
}

int CHeldFolders::PathOf(const Node* node, wchar_t* path) const {
    // Each folder adds its name and a "\" to the path: a path that fits
    // holds fewer than PathChars / 2 of them below its root.
    const Node* chain[PathChars / 2 + 1];
    int depth = 0;
    for (const Node* at = node; at; at = at->parent) {
        if (depth == PathChars / 2 + 1) return 0;
        chain[depth++] = at;
    }
    int length = 0;
    for (int i = depth - 1; i >= 0; --i) {
        const CString& name = chain[i]->name;
        const bool separator = i < depth - 1;
        if (length + (separator ? 1 : 0) + name.GetLength() >= PathChars) return 0;
        if (separator) path[length++] = L'\\';
        for (int c = 0; c < name.GetLength(); ++c) path[length++] = name.GetAt(c);
    }
    path[length] = L'\0';
    return length;
}

void CHeldFolders::LetGo(Node* node) {
    LetGoOfBelow(node);
    node->handle.Reset();
    node->name.Empty();
    if (current_ == node) current_ = node->parent;
}

void CHeldFolders::LetGoOfBelow(Node* node) {
    for (Node* child = node->firstChild; child; child = child->nextSibling)
        if (child->handle) LetGo(child);
}

// Keeps a freshly opened folder, unless the same folder (the same volume and
// file index, reached under another spelling) is held already. `facts` holds
// its identity and attributes, and no listing yet.
CHeldFolders::Node* CHeldFolders::Adopt(CFileHandle& handle, Node* parent, const wchar_t* name, int length,
                                        const Knowledge& facts) {
    for (Node* node = parent ? parent->firstChild : firstRoot_; node; node = node->nextSibling)
        if (node->handle && node->known.volume == facts.volume && node->known.index.QuadPart == facts.index.QuadPart)
            return node;
    Node* node = NewNode(parent, name, length);
    if (!node) return nullptr;
    node->handle = static_cast<CFileHandle&&>(handle);
    node->known = facts;
    return node;
}

CHeldFolders::Node* CHeldFolders::HoldRoot(const wchar_t* folder, int rootLength) {
    // The root's text without its final "\", so that paths join with "\".
    if (Node* found = FindChild(nullptr, folder, rootLength - 1)) return found;
    wchar_t rootPath[PathChars];
    lstrcpynW(rootPath, folder, rootLength + 1);
    CFileHandle root(CreateFileW(rootPath, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES, ShareAll,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!root || !GetFileInformationByHandle(root.Get(), &info)) return nullptr;
    Knowledge facts = {};
    facts.volume = info.dwVolumeSerialNumber;
    facts.index.LowPart = info.nFileIndexLow;
    facts.index.HighPart = info.nFileIndexHigh;
    facts.attributes = info.dwFileAttributes;
    facts.entries = -1;
    return Adopt(root, nullptr, folder, rootLength - 1, facts);
}

CHeldFolders::Node* CHeldFolders::HoldNext(Node* parent, const wchar_t* name, int length) {
    if (Node* found = FindChild(parent, name, length)) return found->known.plannedGone ? nullptr : found;
    HANDLE parentHandle = parent->handle.Get();
    CFileHandle held(OpenInside(parentHandle, name, length,
                                FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                ShareAll, FILE_DIRECTORY_FILE | ForBackupIntent));
    if (!held)
        held.Reset(OpenInside(parentHandle, name, length, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                              ShareAll, FILE_DIRECTORY_FILE | ForBackupIntent));
    // Checked after it is held: a link swapped in before the opening is seen
    // here, and afterwards the handle stays with this folder.
    wchar_t heldPath[PathChars];
    const int parentLength = PathOf(parent, heldPath);
    if (!held || parentLength == 0 || parentLength + 1 + length >= PathChars) return nullptr;
    heldPath[parentLength] = L'\\';
    lstrcpynW(heldPath + parentLength + 1, name, length + 1);
    EntryFacts entry;
    if (!FactsOfHandle(held.Get(), &entry) || entry.link || NameIsLink(heldPath)) return nullptr;
    // Not a link, it lies on the volume of the folder it was opened in.
    Knowledge facts = {};
    facts.volume = parent->known.volume;
    facts.index = entry.index;
    facts.attributes = entry.attributes;
    facts.entries = -1;
    return Adopt(held, parent, name, length, facts);
}

int CHeldFolders::Hold(const wchar_t* folder) {
    current_ = nullptr;
    const int length = lstrlenW(folder);
    const int root = RootLength(folder);
    if (root == 0 || length >= PathChars) return 0;
    Node* at = HoldRoot(folder, root);
    if (!at) return 0;
    current_ = at;
    for (int start = root, end = root; end <= length; ++end) {
        if (end < length && folder[end] != L'\\') continue;
        const int nameStart = start;
        start = end + 1;
        if (end == nameStart) continue;  // "\\" inside the path
        at = HoldNext(at, folder + nameStart, end - nameStart);
        current_ = at;
        if (!at) return 0;
    }
    return 1;
}

int CHeldFolders::HoldChild(const wchar_t* name) {
    if (!current_) return 0;
    const int length = lstrlenW(name);
    if (length == 0) return 0;
    Node* child = HoldNext(current_, name, length);
    if (!child) return 0;
    current_ = child;
    return 1;
}

void CHeldFolders::LetGoOfCurrent() {
    if (current_) LetGo(current_);
}

int CHeldFolders::DeleteFileInCurrent(const wchar_t* path) {
    if (!current_) return 0;
    const wchar_t* name = wcsrchr(path, L'\\');
    if (!name || name[1] == L'\0') return 0;
    ++name;
    const int length = lstrlenW(name);
    HANDLE folder = current_->handle.Get();
    NTSTATUS status = 0;
    // The rights DeleteFileW asks for; the right to change attributes is
    // asked for only where they stop the deletion.
    CFileHandle file(
        OpenInside(folder, name, length, DELETE | FILE_READ_ATTRIBUTES, ShareAll, NonDirectoryFile, &status));
    if (!file) {
        if (status == NameNotFound || status == PathNotFound) {
            run_.Log(L"file", path, LogOutcome::Absent, 0);
            return 0;
        }
        LogOutcomeOf(run_, L"file", path, false, ErrorOf(status));
        // A file in use without delete sharing cannot be deleted; its
        // attributes are still cleared, as a deletion by name would have
        // done, unless it has other names. A folder is no concern of this
        // call.
        if (run_.IsPlan() || (status != SharingViolation && status != AccessDenied)) return 0;
        ClearAttributesOfSameFile(folder, name, length, INVALID_HANDLE_VALUE);
        return 0;
    }
    // Each entry of a folder whose listing showed a link is checked through
    // its handle. A link swapped in after the listing is opened as itself,
    // so at most that link would go.
    if ((!ListCurrent() || current_->known.holdsLink) && HandleIsLink(file.Get())) {
        LogOutcomeOf(run_, L"file", path, false, LinkLeftAlone);
        return 0;
    }
    int deleted = 1;
    DWORD reason = 0;
    if (run_.IsPlan()) {
        // A plan foresees the refusal below.
        BY_HANDLE_FILE_INFORMATION information;
        if (GetFileInformationByHandle(file.Get(), &information) &&
            (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 && HasOtherNames(file.Get())) {
            deleted = 0;
            reason = ERROR_ACCESS_DENIED;
        }
    } else {
        deleted = MarkForDeletion(file.Get(), &status);
        if (!deleted && HasOtherNames(file.Get())) {
            // Only the name goes, or nothing: the file stays as it is.
            reason = ErrorOf(status);
        } else if (!deleted) {
            // A read-only file refuses; so would a deletion by name, but
            // after its attributes had been cleared.
            ClearAttributesOfSameFile(folder, name, length, file.Get());
            deleted = MarkForDeletion(file.Get());
            if (!deleted) reason = ERROR_ACCESS_DENIED;
        }
    }
    file.Reset();
    LogOutcomeOf(run_, L"file", path, deleted != 0, reason);
    // A plan goes on as if the file had gone.
    Knowledge& known = current_->known;
    if (deleted && known.entries > 0) --known.entries;
    if (deleted && IsDesktopIni(name, length)) known.holdsDesktopIni = false;
    return deleted;
}

int CHeldFolders::ClearCurrentAttributes() {
    if (!current_ || !current_->parent) return 0;
    Knowledge& known = current_->known;
    if ((known.attributes & ClearedAttributes) == known.attributes) return 1;
    if (run_.IsPlan()) return 1;
    if (!SetBasicAttributes(current_->handle.Get(), FILE_ATTRIBUTE_NORMAL)) return 0;
    known.attributes = FILE_ATTRIBUTE_DIRECTORY;
    return 1;
}

int CHeldFolders::ListCurrent() {
    if (!current_) return 0;
    Knowledge& known = current_->known;
    if (known.entries >= 0) return 1;
    LONGLONG buffer[1024];  // 8-byte aligned, as the entries' time fields want
    int entries = 0;
    bool desktopIni = false, link = false;
    for (int restart = 1;; restart = 0) {
        ULONG_PTR filled = 0;
        const NTSTATUS status = ListFolder(current_->handle.Get(), buffer, sizeof buffer, restart, &filled);
        if (status < 0 || filled == 0) break;
        const BYTE* at = reinterpret_cast<const BYTE*>(buffer);
        const BYTE* end = at + filled;
        for (;;) {
            const DirectoryInformation* entry = reinterpret_cast<const DirectoryInformation*>(at);
            const int nameLength = static_cast<int>(entry->fileNameLength / sizeof(WCHAR));
            const wchar_t* entryName = entry->fileName;
            const bool dots = (nameLength == 1 && entryName[0] == L'.') ||
                              (nameLength == 2 && entryName[0] == L'.' && entryName[1] == L'.');
            // A plan's folders taken for removed are still there; they are
            // not counted, as after a real removal.
            const Node* child = (entry->fileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !dots
                                    ? FindChild(current_, entryName, nameLength)
                                    : nullptr;
            if (!dots && (!child || !child->known.plannedGone)) ++entries;
            if ((entry->fileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLinkTag(entry->reparseTagOrEaSize))
                link = true;
            if (!(entry->fileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsDesktopIni(entryName, nameLength))
                desktopIni = true;
            if (entry->nextEntryOffset == 0 || at + entry->nextEntryOffset >= end) break;
            at += entry->nextEntryOffset;
        }
    }
    known.entries = entries;
    known.holdsDesktopIni = desktopIni;
    known.holdsLink = link;
    return 1;
}

int CHeldFolders::CurrentHoldsDesktopIni() {
    if (!ListCurrent()) return 1;
    return current_->known.holdsDesktopIni ? 1 : 0;
}

int CHeldFolders::CurrentMayBeEmpty() {
    if (!ListCurrent()) return 1;
    current_->known.reached = true;
    return current_->known.entries == 0 ? 1 : 0;
}

void CHeldFolders::LogFoldersKept() {
    for (Node* node = firstMade_; node; node = node->nextMade) {
        if (!node->handle || !node->known.reached) continue;
        node->known.reached = false;
        wchar_t path[PathChars];
        if (PathOf(node, path)) LogOutcomeOf(run_, L"folder", path, false, ERROR_DIR_NOT_EMPTY);
    }
}

void CHeldFolders::SetWalkDirectory(const wchar_t* folder, int exists) {
    if (lstrlenW(folder) >= PathChars) return;
    if (exists) {
        lstrcpynW(walkDirectory_, folder, PathChars);
        walkDirectoryPending_ = true;
    } else if (!run_.IsPlan() && SetCurrentDirectoryW(folder)) {
        lstrcpynW(walkDirectory_, folder, PathChars);
        walkDirectoryPending_ = false;
    }
}

void CHeldFolders::ApplyWalkDirectory() {
    if (!walkDirectoryPending_ || run_.IsPlan()) return;
    walkDirectoryPending_ = false;
    wchar_t current[MAX_PATH];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, current);
    if (length > 0 && length < MAX_PATH && wcscmp(current, walkDirectory_) == 0) return;
    SetCurrentDirectoryW(walkDirectory_);
}

int CHeldFolders::RemoveCurrent() {
    if (!current_ || !current_->parent) return 0;
    ApplyWalkDirectory();
    Node* held = current_;
    Node* parent = held->parent;
    wchar_t heldPath[PathChars];
    if (!PathOf(held, heldPath)) return 0;
    const CString& name = held->name;
    NTSTATUS opened = 0;
    CFileHandle removable(OpenInside(parent->handle.Get(), name.GetString(), name.GetLength(),
                                     DELETE | FILE_READ_ATTRIBUTES, ShareAll, FILE_DIRECTORY_FILE | ForBackupIntent,
                                     &opened));
    // The held folder keeps the volume and index it was held with; neither it
    // nor the folder now at its name may be a link, so both lie on the
    // parent's volume, and they must have the same index.
    EntryFacts heldFacts, removableFacts;
    if (!removable || !FactsOfHandle(held->handle.Get(), &heldFacts) || heldFacts.link ||
        !FactsOfHandle(removable.Get(), &removableFacts) || removableFacts.link || NameIsLink(heldPath) ||
        removableFacts.index.QuadPart != held->known.index.QuadPart) {
        LogOutcomeOf(run_, L"folder", heldPath, false, removable ? LinkLeftAlone : ErrorOf(opened));
        return 0;
    }
    // A plan takes the folder for removed when nothing is left in it.
    if (run_.IsPlan()) {
        const bool empty = CurrentMayBeEmpty() != 0;
        held->known.reached = false;
        LogOutcomeOf(run_, L"folder", heldPath, empty, ERROR_DIR_NOT_EMPTY);
        if (!empty) return 0;
        // It stays held, marked gone, so that later walks find it missing
        // as they would after a real removal.
        held->known.plannedGone = true;
        current_ = parent;
        if (parent->known.entries > 0) --parent->known.entries;
        return 1;
    }
    // Held folders inside it are let go of first: they would keep it in use.
    LetGoOfBelow(held);
    // Refused at once for a folder that is not empty (145), or for what else
    // the system names: it stays held.
    held->known.reached = false;
    NTSTATUS refused = 0;
    if (!MarkForDeletion(removable.Get(), &refused)) {
        LogOutcomeOf(run_, L"folder", heldPath, false, ErrorOf(refused));
        return 0;
    }
    LetGo(held);
    removable.Reset();
    // Marked, but another program still holds it open and the file system
    // keeps the name until that handle is closed: it is let go of like a
    // removed folder, but still counts in its parent.
    if (GetFileAttributesW(heldPath) != INVALID_FILE_ATTRIBUTES) {
        LogOutcomeOf(run_, L"folder", heldPath, false, ERROR_DELETE_PENDING);
        return 1;
    }
    LogOutcomeOf(run_, L"folder", heldPath, true, 0);
    if (parent->known.entries > 0) --parent->known.entries;
    return 1;
}
