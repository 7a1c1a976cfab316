#include "support/HeldFolders.h"

#include <wchar.h>
#include <winternl.h>

namespace {

// The native calls that open a file by name inside a folder given by its
// handle. They exist on every Windows NT system; kernel32 has no such call.
using NtCreateFileFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                              PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtSetInformationFileFunction = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG,
                                                      FILE_INFORMATION_CLASS);

struct NativeCalls {
    NtCreateFileFunction createFile = nullptr;
    NtSetInformationFileFunction setInformation = nullptr;
};

const NativeCalls& Native() {
    static NativeCalls calls;
    static bool looked = false;
    if (!looked) {
        looked = true;
        if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
            calls.createFile = reinterpret_cast<NtCreateFileFunction>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "NtCreateFile")));
            calls.setInformation = reinterpret_cast<NtSetInformationFileFunction>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "NtSetInformationFile")));
        }
    }
    return calls;
}

// The layouts of the native information classes used here.
struct BasicInformation {
    LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
    ULONG fileAttributes;
};
struct DispositionInformation {
    BOOLEAN deleteFile;
};

constexpr ULONG FileOpen = 1;  // FILE_OPEN: only an existing file
constexpr ULONG NonDirectoryFile = 0x00000040;
constexpr ULONG SynchronousIo = 0x00000020;  // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG ForBackupIntent = 0x00004000;
constexpr ULONG ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class CNativeName {
public:
    CNativeName(HANDLE folder, const wchar_t* name, int length) {
        text_.Buffer = const_cast<PWSTR>(name);
        text_.Length = text_.MaximumLength = static_cast<USHORT>(length * sizeof(wchar_t));
        InitializeObjectAttributes(&attributes_, &text_, OBJ_CASE_INSENSITIVE, folder, nullptr);
    }
    POBJECT_ATTRIBUTES Get() { return &attributes_; }

private:
    UNICODE_STRING text_;
    OBJECT_ATTRIBUTES attributes_;
};

// Opens `name` (of `length` characters) inside `folder` as itself, never as
// what a link points to.
HANDLE OpenInside(HANDLE folder, const wchar_t* name, int length, ACCESS_MASK access, ULONG share, ULONG options) {
    const NativeCalls& native = Native();
    if (!native.createFile) return INVALID_HANDLE_VALUE;
    CNativeName object(folder, name, length);
    IO_STATUS_BLOCK status;
    HANDLE opened = nullptr;
    const NTSTATUS result = native.createFile(&opened, access | SYNCHRONIZE, object.Get(), &status, nullptr, 0, share,
                                              FileOpen, options | FILE_OPEN_REPARSE_POINT | SynchronousIo, nullptr, 0);
    return result >= 0 && opened ? opened : INVALID_HANDLE_VALUE;
}

// A link is seen in two ways: through its name (Wine reports its links
// so; asking changes nothing) and through a handle to the entry itself
// (Windows reports it so).
bool NameIsLink(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool HandleIsLink(HANDLE handle, BY_HANDLE_FILE_INFORMATION* information = nullptr) {
    BY_HANDLE_FILE_INFORMATION local;
    if (!information) information = &local;
    return !GetFileInformationByHandle(handle, information) ||
           (information->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

int SetBasicAttributes(HANDLE handle, ULONG attributes) {
    const NativeCalls& native = Native();
    if (!native.setInformation) return 0;
    BasicInformation basic = {};  // times of zero stay as they are
    basic.fileAttributes = attributes;
    IO_STATUS_BLOCK status;
    return native.setInformation(handle, &status, &basic, sizeof(basic), FileBasicInformation) >= 0 ? 1 : 0;
}

int MarkForDeletion(HANDLE handle) {
    const NativeCalls& native = Native();
    if (!native.setInformation) return 0;
    DispositionInformation disposition = {TRUE};
    IO_STATUS_BLOCK status;
    return native.setInformation(handle, &status, &disposition, sizeof(disposition), FileDispositionInformation) >= 0
               ? 1
               : 0;
}

// The index just past the drive or share root: 3 for "X:\", the index after
// the share's "\" for "\\server\share\"; 0 when the path is neither.
int RootLength(const wchar_t* path) {
    if (path[0] != L'\0' && path[1] == L':' && path[2] == L'\\') return 3;
    if (path[0] != L'\\' || path[1] != L'\\') return 0;
    int separators = 0;
    for (int i = 2; path[i] != L'\0'; ++i) {
        if (path[i] != L'\\') continue;
        if (++separators == 2) return i + 1;
    }
    return 0;
}

}  // namespace

void (*RemovalCheckedHook)(const wchar_t* folder) = nullptr;

void CHeldFolderChain::LetGoOfAll() {
    while (count_ > 0) folders_[--count_].Reset();
}

int CHeldFolderChain::Hold(const wchar_t* folder) {
    const int length = lstrlenW(folder);
    const int root = RootLength(folder);
    if (root == 0 || length >= PathChars) {
        LetGoOfAll();
        return 0;
    }
    // The folders already held for an earlier entry stay held where the new
    // path runs through them: they were checked when they were taken, and
    // their handles still name the same folders.
    int kept = 0;
    while (kept < count_ && wcsncmp(path_, folder, nameEnd_[kept]) == 0 &&
           (folder[nameEnd_[kept]] == L'\\' || folder[nameEnd_[kept]] == L'\0') &&
           (kept > 0 || RootLength(path_) == root))
        ++kept;
    while (count_ > kept) folders_[--count_].Reset();
    lstrcpynW(path_, folder, PathChars);
    int start = root;
    if (count_ == 0) {
        wchar_t rootPath[PathChars];
        lstrcpynW(rootPath, folder, root + 1);
        folders_[0].Reset(CreateFileW(rootPath, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES, ShareAll,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!folders_[0]) return 0;
        nameStart_[0] = 0;
        nameEnd_[0] = root - 1;
        count_ = 1;
    } else {
        start = nameEnd_[count_ - 1] + 1;
        if (count_ == 1) start = root;
    }
    for (int end = start; end <= length; ++end) {
        if (end < length && folder[end] != L'\\') continue;
        const int nameStart = start;
        start = end + 1;
        if (end == nameStart) continue;  // "\\" inside the path
        if (!HoldNext(nameStart, end)) {
            LetGoOfAll();
            return 0;
        }
    }
    return 1;
}

void CHeldFolderChain::LetGoOfDeepest() {
    if (count_ > 0) folders_[--count_].Reset();
}

int CHeldFolderChain::HoldNext(int nameStart, int nameEnd) {
    if (count_ == MaximumDepth) return 0;
    HANDLE parent = folders_[count_ - 1].Get();
    const wchar_t* name = path_ + nameStart;
    const int nameLength = nameEnd - nameStart;
    CFileHandle held(OpenInside(parent, name, nameLength,
                                FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                ShareAll, FILE_DIRECTORY_FILE | ForBackupIntent));
    if (!held)
        held.Reset(OpenInside(parent, name, nameLength, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                              ShareAll, FILE_DIRECTORY_FILE | ForBackupIntent));
    // Checked after it is held: a link swapped in before the opening is seen
    // here, and afterwards the handle stays with this folder.
    wchar_t heldPath[PathChars];
    lstrcpynW(heldPath, path_, nameEnd + 1);
    if (!held || HandleIsLink(held.Get()) || NameIsLink(heldPath)) return 0;
    nameStart_[count_] = nameStart;
    nameEnd_[count_] = nameEnd;
    folders_[count_++] = static_cast<CFileHandle&&>(held);
    return 1;
}

int CHeldFolderChain::HoldChild(const wchar_t* name) {
    if (count_ == 0) return 0;
    const int parentEnd = nameEnd_[count_ - 1];
    const int nameLength = lstrlenW(name);
    if (nameLength == 0 || parentEnd + 1 + nameLength >= PathChars) return 0;
    path_[parentEnd] = L'\\';
    lstrcpynW(path_ + parentEnd + 1, name, nameLength + 1);
    return HoldNext(parentEnd + 1, parentEnd + 1 + nameLength);
}

void CHeldFolderChain::DeleteFileInDeepest(const wchar_t* path) {
    if (count_ == 0) return;
    const wchar_t* name = wcsrchr(path, L'\\');
    if (!name || name[1] == L'\0') return;
    ++name;
    const int length = lstrlenW(name);
    HANDLE folder = folders_[count_ - 1].Get();
    CFileHandle file(OpenInside(folder, name, length, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, ShareAll,
                                NonDirectoryFile));
    // A file in use without delete sharing cannot be deleted; its attributes
    // are still cleared, as a deletion by name would have done.
    const bool deletable = file.IsValid();
    if (!file)
        file.Reset(OpenInside(folder, name, length, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, ShareAll,
                              NonDirectoryFile));
    if (!file || HandleIsLink(file.Get())) return;
    SetBasicAttributes(file.Get(), FILE_ATTRIBUTE_NORMAL);
    if (deletable) MarkForDeletion(file.Get());
}

int CHeldFolderChain::ClearDeepestAttributes() {
    if (count_ < 2) return 0;
    return SetBasicAttributes(folders_[count_ - 1].Get(), FILE_ATTRIBUTE_NORMAL);
}

int CHeldFolderChain::RemoveDeepest() {
    if (count_ < 2) return 0;
    const int index = count_ - 1;
    const int nameStart = nameStart_[index];
    const int nameLength = nameEnd_[index] - nameStart;
    HANDLE parent = folders_[index - 1].Get();
    wchar_t heldPath[PathChars];
    lstrcpynW(heldPath, path_, nameStart + nameLength + 1);
    CFileHandle removable(OpenInside(parent, path_ + nameStart, nameLength, DELETE | FILE_READ_ATTRIBUTES, ShareAll,
                                     FILE_DIRECTORY_FILE | ForBackupIntent));
    BY_HANDLE_FILE_INFORMATION heldInformation, removableInformation;
    if (!removable || HandleIsLink(folders_[index].Get(), &heldInformation) ||
        HandleIsLink(removable.Get(), &removableInformation) || NameIsLink(heldPath) ||
        heldInformation.dwVolumeSerialNumber != removableInformation.dwVolumeSerialNumber ||
        heldInformation.nFileIndexHigh != removableInformation.nFileIndexHigh ||
        heldInformation.nFileIndexLow != removableInformation.nFileIndexLow)
        return 0;
    // Refused at once for a folder that is not empty: it stays held.
    if (!MarkForDeletion(removable.Get())) return 0;
    folders_[--count_].Reset();
    removable.Reset();
    return GetFileAttributesW(heldPath) == INVALID_FILE_ATTRIBUTES ? 1 : 0;
}
