#include "support/FileEntry.h"

#include <winternl.h>

namespace {

// NtSetInformationFile acts on a handle on every Windows NT system;
// kernel32's SetFileInformationByHandle only exists from Vista on.
using NtSetInformationFileFunction = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);

NtSetInformationFileFunction SetInformation() {
    static NtSetInformationFileFunction function = nullptr;
    static bool looked = false;
    if (!looked) {
        looked = true;
        if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"))
            function = reinterpret_cast<NtSetInformationFileFunction>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "NtSetInformationFile")));
    }
    return function;
}

// The layouts of FileBasicInformation and FileDispositionInformation.
struct BasicInformation {
    LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
    ULONG fileAttributes;
};
struct DispositionInformation {
    BOOLEAN deleteFile;
};

}  // namespace

HANDLE OpenEntryItself(const wchar_t* path, DWORD access, DWORD share) {
    return CreateFileW(path, access, share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IsPlainFileEntry(const BY_HANDLE_FILE_INFORMATION& information) {
    return (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

int SetEntryAttributes(HANDLE entry, DWORD attributes) {
    const NtSetInformationFileFunction setInformation = SetInformation();
    if (!setInformation) return 0;
    BasicInformation basic = {};  // times of zero stay as they are
    basic.fileAttributes = attributes;
    IO_STATUS_BLOCK status;
    return setInformation(entry, &status, &basic, sizeof(basic), FileBasicInformation) >= 0 ? 1 : 0;
}

int MarkEntryForDeletion(HANDLE entry) {
    const NtSetInformationFileFunction setInformation = SetInformation();
    if (!setInformation) return 0;
    DispositionInformation disposition = {TRUE};
    IO_STATUS_BLOCK status;
    return setInformation(entry, &status, &disposition, sizeof(disposition), FileDispositionInformation) >= 0 ? 1 : 0;
}
