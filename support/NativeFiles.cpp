#include "support/NativeFiles.h"

#include "support/Handles.h"

namespace NativeFiles {
namespace {

using NtCreateFileFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                              PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtSetInformationFileFunction = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
using NtQueryInformationFileFunction = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
using NtQueryDirectoryFileFunction = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                                      FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING, BOOLEAN);
using RtlNtStatusToDosErrorFunction = ULONG(NTAPI*)(NTSTATUS);

struct NativeCalls {
    NtCreateFileFunction createFile = nullptr;
    NtSetInformationFileFunction setInformation = nullptr;
    NtQueryInformationFileFunction queryInformation = nullptr;
    NtQueryDirectoryFileFunction queryDirectory = nullptr;
    RtlNtStatusToDosErrorFunction errorOf = nullptr;
};

void* NtdllCall(HMODULE ntdll, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(ntdll, name));
}

const NativeCalls& Native() {
    static NativeCalls calls;
    static bool looked = false;
    if (!looked) {
        looked = true;
        if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
            calls.createFile = reinterpret_cast<NtCreateFileFunction>(NtdllCall(ntdll, "NtCreateFile"));
            calls.setInformation =
                reinterpret_cast<NtSetInformationFileFunction>(NtdllCall(ntdll, "NtSetInformationFile"));
            calls.queryInformation =
                reinterpret_cast<NtQueryInformationFileFunction>(NtdllCall(ntdll, "NtQueryInformationFile"));
            calls.queryDirectory =
                reinterpret_cast<NtQueryDirectoryFileFunction>(NtdllCall(ntdll, "NtQueryDirectoryFile"));
            calls.errorOf = reinterpret_cast<RtlNtStatusToDosErrorFunction>(NtdllCall(ntdll, "RtlNtStatusToDosError"));
        }
    }
    return calls;
}

// The information classes used here and their layouts.
constexpr FILE_INFORMATION_CLASS DirectoryListing = static_cast<FILE_INFORMATION_CLASS>(2);  // full information
constexpr FILE_INFORMATION_CLASS BasicClass = static_cast<FILE_INFORMATION_CLASS>(4);
constexpr FILE_INFORMATION_CLASS StandardClass = static_cast<FILE_INFORMATION_CLASS>(5);
constexpr FILE_INFORMATION_CLASS InternalClass = static_cast<FILE_INFORMATION_CLASS>(6);
constexpr FILE_INFORMATION_CLASS RenameClass = static_cast<FILE_INFORMATION_CLASS>(10);
constexpr FILE_INFORMATION_CLASS DispositionClass = static_cast<FILE_INFORMATION_CLASS>(13);
constexpr FILE_INFORMATION_CLASS AttributeTagClass = static_cast<FILE_INFORMATION_CLASS>(35);
constexpr FILE_INFORMATION_CLASS DispositionExClass = static_cast<FILE_INFORMATION_CLASS>(64);

struct BasicInformation {
    LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
    ULONG fileAttributes;
};
struct StandardInformation {
    LARGE_INTEGER allocationSize, endOfFile;
    ULONG numberOfLinks;
    BOOLEAN deletePending, directory;
};
struct DispositionInformation {
    BOOLEAN deleteFile;
};
struct DispositionInformationEx {
    ULONG flags;
};
struct AttributeTagInformation {
    ULONG fileAttributes;
    ULONG reparseTag;
};
// FILE_DISPOSITION_DELETE | FILE_DISPOSITION_POSIX_SEMANTICS: the name goes
// at once, even while other handles opened with delete sharing stay open.
constexpr ULONG DeleteWithPosixSemantics = 0x00000001 | 0x00000002;
struct RenameInformation {
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;
    WCHAR fileName[1];
};

constexpr ULONG FileCreate = 2;              // FILE_CREATE: only a new file
constexpr ULONG FileOpen = 1;                // FILE_OPEN: only an existing file
constexpr ULONG SynchronousIo = 0x00000020;  // FILE_SYNCHRONOUS_IO_NONALERT
constexpr int NameChars = 512;

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

HANDLE CreateFileInside(HANDLE folder, const wchar_t* name, int length, ACCESS_MASK access, ULONG share,
                        ULONG disposition, ULONG options, NTSTATUS* result) {
    const NativeCalls& native = Native();
    NTSTATUS status = AccessDenied;
    HANDLE opened = nullptr;
    // A UNICODE_STRING counts its bytes in 16 bits.
    if (native.createFile && length >= 0 && length < 32768) {
        CNativeName object(folder, name, length);
        IO_STATUS_BLOCK block;
        const ULONG attributes = disposition == FileCreate ? FILE_ATTRIBUTE_NORMAL : 0;
        status = native.createFile(&opened, access | SYNCHRONIZE, object.Get(), &block, nullptr, attributes, share,
                                   disposition, options | FILE_OPEN_REPARSE_POINT | SynchronousIo, nullptr, 0);
    }
    if (result) *result = status;
    return status >= 0 && opened ? opened : INVALID_HANDLE_VALUE;
}

}  // namespace

HANDLE OpenInside(HANDLE folder, const wchar_t* name, int length, ACCESS_MASK access, ULONG share, ULONG options,
                  NTSTATUS* result) {
    return CreateFileInside(folder, name, length, access, share, FileOpen, options, result);
}

HANDLE CreateInside(HANDLE folder, const wchar_t* name, int length, ACCESS_MASK access, ULONG share, NTSTATUS* result) {
    return CreateFileInside(folder, name, length, access, share, FileCreate, NonDirectoryFile, result);
}

NTSTATUS RenameInside(HANDLE file, HANDLE folder, const wchar_t* name, int length, int replace) {
    const NativeCalls& native = Native();
    if (!native.setInformation || length <= 0 || length >= NameChars) return AccessDenied;
    // The structure with room for the name after it, aligned for its handle.
    union {
        RenameInformation information;
        BYTE bytes[sizeof(RenameInformation) + NameChars * sizeof(WCHAR)];
    } rename = {};
    rename.information.replaceIfExists = replace ? TRUE : FALSE;
    rename.information.rootDirectory = folder;
    rename.information.fileNameLength = static_cast<ULONG>(length * sizeof(WCHAR));
    for (int i = 0; i < length; ++i) rename.information.fileName[i] = name[i];
    IO_STATUS_BLOCK block;
    const ULONG size = static_cast<ULONG>(sizeof(RenameInformation) + length * sizeof(WCHAR));
    return native.setInformation(file, &block, &rename, size, RenameClass);
}

int SetBasicAttributes(HANDLE handle, ULONG attributes) {
    const NativeCalls& native = Native();
    if (!native.setInformation) return 0;
    BasicInformation basic = {};  // times of zero stay as they are
    basic.fileAttributes = attributes;
    IO_STATUS_BLOCK status;
    return native.setInformation(handle, &status, &basic, sizeof(basic), BasicClass) >= 0 ? 1 : 0;
}

int MarkForDeletion(HANDLE handle, NTSTATUS* result) {
    const NativeCalls& native = Native();
    NTSTATUS status = AccessDenied;
    if (native.setInformation) {
        // As DeleteFileW and RemoveDirectoryW do since Windows 10 version
        // 1903: FileDispositionInformationEx with POSIX semantics first, so
        // that a virus scanner or indexer holding the file open does not
        // keep its name, and with it every folder above it. Systems and file
        // systems that do not know the class refuse it; the classic
        // disposition follows then. Refusals that concern the entry itself
        // (a read-only file, a folder that is not empty) come back as they
        // are.
        DispositionInformationEx posix = {DeleteWithPosixSemantics};
        IO_STATUS_BLOCK block;
        status = native.setInformation(handle, &block, &posix, sizeof(posix), DispositionExClass);
        if (status == InvalidInfoClass || status == NotImplemented || status == InvalidParameter ||
            status == NotSupported) {
            DispositionInformation disposition = {TRUE};
            status = native.setInformation(handle, &block, &disposition, sizeof(disposition), DispositionClass);
        }
    }
    if (result) *result = status;
    return status >= 0 ? 1 : 0;
}

ULONG LinkCountOf(HANDLE handle) {
    const NativeCalls& native = Native();
    if (!native.queryInformation) return 0;
    StandardInformation standard = {};
    IO_STATUS_BLOCK status;
    return native.queryInformation(handle, &status, &standard, sizeof(standard), StandardClass) >= 0
               ? standard.numberOfLinks
               : 0;
}

NTSTATUS ListFolder(HANDLE folder, void* buffer, ULONG size, int restart, ULONG_PTR* filled) {
    const NativeCalls& native = Native();
    *filled = 0;
    if (!native.queryDirectory) return AccessDenied;
    IO_STATUS_BLOCK block;
    const NTSTATUS status = native.queryDirectory(folder, nullptr, nullptr, nullptr, &block, buffer, size,
                                                  DirectoryListing, FALSE, nullptr, restart ? TRUE : FALSE);
    if (status >= 0) *filled = block.Information;
    return status;
}

DWORD ErrorOf(NTSTATUS status) {
    const NativeCalls& native = Native();
    return native.errorOf ? native.errorOf(status) : ERROR_ACCESS_DENIED;
}

bool IsLinkTag(DWORD reparseTag) {
    // Tag zero is reserved and never set on a reparse point: it means the
    // tag could not be read.
    return reparseTag == 0 || IsReparseTagNameSurrogate(reparseTag);
}

bool NameIsLink(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
    // The search reports an entry's reparse tag in dwReserved0. A name with
    // a wildcard would find other entries, so it counts as a link.
    for (const wchar_t* c = path; *c; ++c)
        if (*c == L'*' || *c == L'?') return true;
    WIN32_FIND_DATAW found;
    const CFindHandle search(FindFirstFileW(path, &found));
    if (!search) return true;
    return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsLinkTag(found.dwReserved0);
}

bool HandleIsLink(HANDLE handle, BY_HANDLE_FILE_INFORMATION* information) {
    BY_HANDLE_FILE_INFORMATION local;
    if (!information) information = &local;
    if (!GetFileInformationByHandle(handle, information)) return true;
    if ((information->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
    const NativeCalls& native = Native();
    AttributeTagInformation tag = {};
    IO_STATUS_BLOCK block;
    if (!native.queryInformation || native.queryInformation(handle, &block, &tag, sizeof(tag), AttributeTagClass) < 0)
        return true;
    return IsLinkTag(tag.reparseTag);
}

int FactsOfHandle(HANDLE handle, EntryFacts* facts) {
    const NativeCalls& native = Native();
    AttributeTagInformation tag;
    IO_STATUS_BLOCK block;
    if (!native.queryInformation || native.queryInformation(handle, &block, &tag, sizeof(tag), AttributeTagClass) < 0 ||
        native.queryInformation(handle, &block, &facts->index, sizeof(facts->index), InternalClass) < 0)
        return 0;
    facts->attributes = tag.fileAttributes;
    facts->link = (tag.fileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsLinkTag(tag.reparseTag);
    return 1;
}

HANDLE OpenEntryItself(const wchar_t* path, DWORD access, DWORD share) {
    return CreateFileW(path, access, share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IsPlainFileEntry(const BY_HANDLE_FILE_INFORMATION& information) {
    return (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

}  // namespace NativeFiles
