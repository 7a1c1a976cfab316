// The native file calls of ntdll that act on a name inside a folder given by
// its handle, and on a file through its own handle. Kernel32 has no call
// that opens, creates or renames relative to a folder handle; these exist on
// every Windows NT system (NtCreateFile, NtSetInformationFile,
// NtQueryInformationFile, NtQueryDirectoryFile). Code that holds its folders
// open uses them, so that a folder renamed away and a link swapped in its
// place never lead a name elsewhere.
//
// Names passed here are plain entry names, never paths: no "\" and none of
// the Win32 clean-up of a path (trailing dots and blanks) applies.
#pragma once

#include <windows.h>
#include <winternl.h>

namespace NativeFiles {

constexpr NTSTATUS AccessDenied = static_cast<NTSTATUS>(0xC0000022L);
constexpr NTSTATUS SharingViolation = static_cast<NTSTATUS>(0xC0000043L);
constexpr NTSTATUS NameNotFound = static_cast<NTSTATUS>(0xC0000034L);
constexpr NTSTATUS NameCollision = static_cast<NTSTATUS>(0xC0000035L);
constexpr NTSTATUS PathNotFound = static_cast<NTSTATUS>(0xC000003AL);
constexpr NTSTATUS CannotDelete = static_cast<NTSTATUS>(0xC0000121L);
constexpr NTSTATUS InvalidInfoClass = static_cast<NTSTATUS>(0xC0000003L);
constexpr NTSTATUS NotImplemented = static_cast<NTSTATUS>(0xC0000002L);
constexpr NTSTATUS InvalidParameter = static_cast<NTSTATUS>(0xC000000DL);
constexpr NTSTATUS NotSupported = static_cast<NTSTATUS>(0xC00000BBL);

// Create options of NtCreateFile.
constexpr ULONG NonDirectoryFile = 0x00000040;  // FILE_NON_DIRECTORY_FILE
constexpr ULONG ForBackupIntent = 0x00004000;   // FILE_OPEN_FOR_BACKUP_INTENT
constexpr ULONG ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// One entry of a FileFullDirectoryInformation listing. For a reparse point
// the file system reports the reparse tag where the extended attributes'
// size would be.
struct DirectoryInformation {
    ULONG nextEntryOffset;
    ULONG fileIndex;
    LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime, endOfFile, allocationSize;
    ULONG fileAttributes;
    ULONG fileNameLength;
    ULONG reparseTagOrEaSize;
    WCHAR fileName[1];
};

// Opens the existing `name` (of `length` characters) inside `folder` as
// itself, never as what a link points to (FILE_OPEN_REPARSE_POINT), for
// synchronous use. INVALID_HANDLE_VALUE on failure; `result`, when given,
// receives the call's status.
HANDLE OpenInside(HANDLE folder, const wchar_t* name, int length, ACCESS_MASK access, ULONG share, ULONG options,
                  NTSTATUS* result = nullptr);

// Creates the file `name` inside `folder` (FILE_CREATE: an existing entry of
// that name, a link included, is never opened, and the call fails with
// NameCollision).
HANDLE CreateInside(HANDLE folder, const wchar_t* name, int length, ACCESS_MASK access, ULONG share,
                    NTSTATUS* result = nullptr);

// Renames the file open as `file` (with DELETE access) to `name` inside
// `folder`, replacing a file of that name when `replace` is non-zero
// (FileRenameInformation). Returns the call's status.
NTSTATUS RenameInside(HANDLE file, HANDLE folder, const wchar_t* name, int length, int replace);

// Sets the attributes through the handle (FileBasicInformation; the times
// stay). Non-zero on success.
int SetBasicAttributes(HANDLE handle, ULONG attributes);

// Deletes the entry open as `handle` (with DELETE access): its name goes at
// once where the system and file system offer POSIX semantics, else when
// its last handle closes. Non-zero on success; `result`, when given,
// receives the call's status.
int MarkForDeletion(HANDLE handle, NTSTATUS* result = nullptr);

// The number of names (hard links) of the file open as `handle`
// (FileStandardInformation); zero when it cannot be read.
ULONG LinkCountOf(HANDLE handle);

// One call of NtQueryDirectoryFile for FileDirectoryInformation into
// `buffer` (8-byte aligned); `filled` receives the bytes written.
NTSTATUS ListFolder(HANDLE folder, void* buffer, ULONG size, int restart, ULONG_PTR* filled);

// The Win32 error code of a status.
DWORD ErrorOf(NTSTATUS status);

// True for a reparse tag that makes an entry lead elsewhere: a name
// surrogate (junction, symbolic link, mount point; IsReparseTagNameSurrogate)
// or a tag that could not be read. Deduplicated files, cloud placeholders and
// compressed system files carry other tags and are ordinary entries.
bool IsLinkTag(DWORD reparseTag);

// A link is seen in two ways: through its name (Wine reports its links so;
// asking changes nothing) and through a handle to the entry itself (Windows
// reports it so). A name that cannot be asked counts as a link.
bool NameIsLink(const wchar_t* path);
bool HandleIsLink(HANDLE handle, BY_HANDLE_FILE_INFORMATION* information = nullptr);

// What a walk learns of an entry through its handle: its attributes, whether
// it is a link (as HandleIsLink answers) and its file index, which with the
// volume identifies it. The volume is not asked for: a folder's entries that
// are no links lie on its own volume, and an open entry stays on its volume
// with its index. (Wine reads a volume's serial number through its mount
// manager, at the cost of some hundred file calls.) Zero when the facts
// cannot be read.
struct EntryFacts {
    ULONG attributes;
    bool link;
    ULARGE_INTEGER index;
};
int FactsOfHandle(HANDLE handle, EntryFacts* facts);

// Opens the entry at the full `path` as itself: a link as the link
// (FILE_FLAG_OPEN_REPARSE_POINT), a folder as the folder
// (FILE_FLAG_BACKUP_SEMANTICS). For names that an ordinary program of the
// same user may have planted: what was opened is checked, and every change
// goes through the handle. INVALID_HANDLE_VALUE on failure, with the
// system's error.
HANDLE OpenEntryItself(const wchar_t* path, DWORD access, DWORD share);

// True when the information, read from such a handle, is that of a plain
// file: neither a folder nor a reparse point.
bool IsPlainFileEntry(const BY_HANDLE_FILE_INFORMATION& information);

}  // namespace NativeFiles
