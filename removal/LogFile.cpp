#include "removal/LogFile.h"

#include "framework/String.h"
#include "support/Files.h"
#include "support/Handles.h"
#include "support/NativeFiles.h"
#include "support/Paths.h"

namespace {

constexpr int PathChars = MAX_PATH;
constexpr int MaximumDepth = 128;
constexpr int MaximumKeptOut = 8;
constexpr int NewNameTries = 16;

// The identity of an existing folder, or an unknown one.
CFileIdentity IdentityOfFolder(const wchar_t* folder) {
    CString path(folder);
    // "C:\Apps\" opens as "C:\Apps"; a root keeps its "\".
    if (path.GetLength() > 3 && path.GetAt(path.GetLength() - 1) == L'\\') path.Truncate(path.GetLength() - 1);
    CFileHandle handle(CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                   nullptr));
    return handle ? IdentityOfHandle(handle.Get()) : CFileIdentity();
}

// No stream names, wildcards or other characters that no plain file name
// holds, past the drive's own colon.
bool HasOnlyNameCharacters(const wchar_t* path, int from) {
    for (const wchar_t* c = path + from; *c; ++c)
        if (*c < 0x20 || *c == L':' || *c == L'*' || *c == L'?' || *c == L'"' || *c == L'<' || *c == L'>' || *c == L'|')
            return false;
    return true;
}

// True for a folder on a drive of this computer. A folder on a share or a
// network drive is never opened to learn its identity: the preview folder
// comes from the user's own registry, and opening it with administrator
// rights would send those credentials to whatever server it names.
bool IsOnLocalDrive(const wchar_t* folder) {
    if (RootLength(folder) != 3) return false;
    const wchar_t root[] = {folder[0], L':', L'\\', L'\0'};
    const UINT type = GetDriveTypeW(root);
    return type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_CDROM || type == DRIVE_RAMDISK;
}

// The text of a full path in upper case, for comparisons that ignore case.
CString UpperCaseFullPath(const wchar_t* path) {
    wchar_t full[PathChars];
    const int length = GetWin32FullPath(path, full, PathChars);
    if (length == 0) return CString();
    CharUpperBuffW(full, static_cast<DWORD>(length));
    return CString(full, length);
}

class CKeptOutFolders {
public:
    CKeptOutFolders(const wchar_t* const* folders, int count) {
        for (int i = 0; i < count; ++i) {
            // Only folders below a root are removed; a root never is.
            if (!folders[i] || !folders[i][0] || !IsFolderBelowRoot(folders[i])) continue;
            if (IsOnLocalDrive(folders[i])) {
                const CFileIdentity identity = IdentityOfFolder(folders[i]);
                if (identity.known && identities_ < MaximumKeptOut) identity_[identities_++] = identity;
            } else if (texts_ < MaximumKeptOut) {
                text_[texts_] = UpperCaseFullPath(folders[i]);
                // Compared with a "\" after it, so that "\\s\a\b" does not hold "\\s\a\bc".
                if (!text_[texts_].IsEmpty() && text_[texts_].GetAt(text_[texts_].GetLength() - 1) != L'\\')
                    text_[texts_] += L'\\';
                if (!text_[texts_].IsEmpty()) ++texts_;
            }
        }
    }
    bool Holds(const CFileIdentity& identity) const {
        for (int i = 0; i < identities_; ++i)
            if (identity_[i].Is(identity)) return true;
        return false;
    }
    // For the folders compared by their text: whether the full path lies in one.
    bool HoldsPath(const wchar_t* full) const {
        const CString path = UpperCaseFullPath(full);
        for (int i = 0; i < texts_; ++i)
            if (path.GetLength() > text_[i].GetLength() && path.Left(text_[i].GetLength()) == text_[i]) return true;
        return false;
    }

private:
    CFileIdentity identity_[MaximumKeptOut];
    int identities_ = 0;
    CString text_[MaximumKeptOut];
    int texts_ = 0;
};

// A name that Win32 would clean up when it turns a path into a native one
// (a trailing dot or blank dropped). Names opened inside a held folder skip
// that step, so such a name is refused rather than taken otherwise.
bool IsPlainName(const wchar_t* name, int length) {
    return length > 0 && name[length - 1] != L'.' && name[length - 1] != L' ';
}

// The folders of the file's path from its root down to its parent, each
// opened inside the one above it without following a link and without
// delete sharing: while they are held, none of them can be renamed or
// removed, and the file is created and renamed inside the last through its
// handle, never by a path that a link swapped in could lead elsewhere.
class CHeldPath {
public:
    // Zero when a folder is missing, is a link or is one of the kept-out ones.
    int Hold(const wchar_t* path, int rootLength, const CKeptOutFolders& keptOut) {
        wchar_t root[PathChars];
        lstrcpynW(root, path, rootLength + 1);
        folders_[0].Reset(CreateFileW(root, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!folders_[0]) return 0;
        count_ = 1;
        wchar_t folder[PathChars];
        for (int start = rootLength, end = rootLength; path[end] != L'\0'; ++end) {
            if (path[end] != L'\\') continue;
            const int length = end - start;
            if (!IsPlainName(path + start, length) || count_ == MaximumDepth) return 0;
            CFileHandle held(NativeFiles::OpenInside(folders_[count_ - 1].Get(), path + start, length,
                                                     FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                     FILE_DIRECTORY_FILE | NativeFiles::ForBackupIntent));
            start = end + 1;
            // Checked after it is held: a link swapped in before the opening
            // is seen here, and afterwards the handle stays with this folder.
            lstrcpynW(folder, path, end + 1);
            BY_HANDLE_FILE_INFORMATION information;
            if (!held || NativeFiles::HandleIsLink(held.Get(), &information) ||
                (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || NativeFiles::NameIsLink(folder))
                return 0;
            if (keptOut.Holds(IdentityOf(information))) return 0;
            folders_[count_++] = static_cast<CFileHandle&&>(held);
        }
        return 1;
    }
    // The file's own folder.
    HANDLE Parent() const { return folders_[count_ - 1].Get(); }

private:
    CFileHandle folders_[MaximumDepth];
    int count_ = 0;
};

// An entry already at `name` in `folder` may be replaced only when it is a
// plain file: not a folder, a device or a link. It is opened as itself,
// inside the held folder.
bool MayBeReplaced(HANDLE folder, const wchar_t* name, int length) {
    NTSTATUS status = 0;
    CFileHandle entry(NativeFiles::OpenInside(folder, name, length, FILE_READ_ATTRIBUTES, NativeFiles::ShareAll,
                                              NativeFiles::ForBackupIntent, &status));
    if (!entry) {
        if (status == NativeFiles::NameNotFound) return true;
        // An entry that cannot be opened is left to the rename, which never
        // replaces a folder and fails on a file in use.
        return status == NativeFiles::AccessDenied || status == NativeFiles::SharingViolation;
    }
    BY_HANDLE_FILE_INFORMATION information;
    return GetFileType(entry.Get()) == FILE_TYPE_DISK && !NativeFiles::HandleIsLink(entry.Get(), &information) &&
           (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool IsPlainFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information;
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
           (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

// A new file in `folder` beside `name`, named "<name>.<n>.new" for the first
// n that is free. FILE_CREATE never opens what is there, a link included.
HANDLE CreateNewBeside(HANDLE folder, const wchar_t* name) {
    CString newName;
    for (int n = 1; n <= NewNameTries; ++n) {
        newName.Format(L"%s.%d.new", name, n);
        if (!newName.IsValid() || newName.GetLength() >= PathChars) return INVALID_HANDLE_VALUE;
        NTSTATUS status = 0;
        HANDLE file = NativeFiles::CreateInside(folder, newName, newName.GetLength(),
                                                GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES,
                                                FILE_SHARE_READ | FILE_SHARE_DELETE, &status);
        if (file != INVALID_HANDLE_VALUE) return file;
        if (status != NativeFiles::NameCollision) return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

void (*LogFileStepHook)(LogFileStep step, const wchar_t* folder) = nullptr;

HANDLE CreateLogFile(const wchar_t* path, const wchar_t* const* keptOut, int keptOutCount) {
    if (!path || !path[0]) return INVALID_HANDLE_VALUE;
    wchar_t full[PathChars];
    const int length = GetWin32FullPath(path, full, PathChars);
    if (length == 0) return INVALID_HANDLE_VALUE;
    const int root = RootLength(full);
    if (root == 0 || full[length - 1] == L'\\' || !HasOnlyNameCharacters(full, 2)) return INVALID_HANDLE_VALUE;
    const wchar_t* name = wcsrchr(full, L'\\') + 1;
    const int nameLength = lstrlenW(name);

    const CKeptOutFolders keptOutFolders(keptOut, keptOutCount);
    CHeldPath held;
    if (keptOutFolders.HoldsPath(full) || !IsPlainName(name, nameLength) || !held.Hold(full, root, keptOutFolders) ||
        !MayBeReplaced(held.Parent(), name, nameLength))
        return INVALID_HANDLE_VALUE;

    const CString folder(full, static_cast<int>(name - full) - 1);
    if (LogFileStepHook) LogFileStepHook(LogFileStep::Held, folder);
    CFileHandle file(CreateNewBeside(held.Parent(), name));
    if (!file) return INVALID_HANDLE_VALUE;
    if (LogFileStepHook) LogFileStepHook(LogFileStep::Created, folder);
    // Renamed through its own handle onto the name in the held folder; what
    // took its former name meanwhile is no concern. A file that cannot take
    // the name is deleted through its handle, never by a name.
    if (!IsPlainFile(file.Get()) || NativeFiles::RenameInside(file.Get(), held.Parent(), name, nameLength, 1) < 0) {
        NativeFiles::MarkForDeletion(file.Get());
        return INVALID_HANDLE_VALUE;
    }
    return file.Detach();
}
