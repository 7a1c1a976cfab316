#include "removal/SelfDeletion.h"

#include <windows.h>

#include <cstring>

#include "removal/BatchSecurity.h"
#include "support/Handles.h"

namespace {

const char BatchPath[] = "\\QVUninst.bat";
const char BatchFormat[] =
    ":Repeat\r\n"
    "del \"%s\"\r\n"
    "if exist \"%s\" goto Repeat\r\n"
    "rmdir \"%s\"\r\n"
    "del \"%s\"\r\n";
constexpr int ModulePathChars = 260;
constexpr int BatchTextBytes = 1000;

HANDLE CreateNewBatchFile(SECURITY_ATTRIBUTES* security) {
    return CreateFileA(BatchPath, GENERIC_WRITE, 0, security, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Creates the batch file with the security above. A file of that name that
// is already there is replaced by a new one: overwriting it in place would
// keep its old security and owner.
HANDLE CreateBatchFile() {
    CBatchSecurity security;
    if (!security.Build()) return INVALID_HANDLE_VALUE;
    HANDLE file = CreateNewBatchFile(security.Attributes());
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
    SetFileAttributesA(BatchPath, FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(BatchPath)) return INVALID_HANDLE_VALUE;
    return CreateNewBatchFile(security.Attributes());
}

// The batch quotes the paths, but the command interpreter still expands "%"
// inside quotes, a '"' would end the quoting of a line that runs elevated,
// and "?" or "*" would turn "del" into a wildcard deletion.
bool IsSafeInBatch(const char* path) {
    for (const char* c = path; *c; ++c)
        if (*c == '%' || *c == '?' || *c == '*' || *c == '"') return false;
    return true;
}

// The program's own path in the ANSI code page, exactly or not at all. The
// ANSI form that Windows hands out maps characters outside the code page to
// look-alikes ("best fit": U+FF02 becomes '"', "o" with a macron becomes
// "o"), which would have "del" target another file.
bool GetExactAnsiModulePath(char* path, int capacity) {
    wchar_t widePath[ModulePathChars];
    const DWORD length = GetModuleFileNameW(nullptr, widePath, ModulePathChars);
    if (length == 0 || length >= ModulePathChars) return false;
    BOOL inexact = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, widePath, -1, path, capacity, nullptr,
                                          &inexact);
    return bytes > 0 && !inexact;
}

}  // namespace

int StartSelfDeletion() {
    CFileHandle batch(CreateBatchFile());
    if (!batch) return 0;

    char exePath[ModulePathChars];
    if (!GetExactAnsiModulePath(exePath, ModulePathChars) || !IsSafeInBatch(exePath)) {
        batch.Reset();
        DeleteFileA(BatchPath);
        return 0;
    }
    char exeFolder[ModulePathChars];
    lstrcpynA(exeFolder, exePath, ModulePathChars);
    // Walked by characters: in a double-byte code page the second byte of a
    // character may have the value of "\".
    char* lastSlash = nullptr;
    for (char* c = exeFolder; *c; c = CharNextA(c))
        if (*c == '\\') lastSlash = c;
    if (lastSlash) *lastSlash = '\0';

    char text[BatchTextBytes + 24];  // wsprintfA writes at most 1024 characters
    const int textLength = wsprintfA(text, BatchFormat, exePath, exePath, exeFolder, BatchPath);
    DWORD written = 0;
    WriteFile(batch.Get(), text, static_cast<DWORD>(textLength), &written, nullptr);
    batch.Reset();

    // "del" cannot delete a read-only file, and the batch would then repeat
    // forever.
    SetFileAttributesA(exePath, FILE_ATTRIBUTE_NORMAL);

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started = {};
    char commandLine[sizeof(BatchPath)];
    lstrcpynA(commandLine, BatchPath, sizeof(commandLine));
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_SUSPENDED | IDLE_PRIORITY_CLASS, nullptr,
                        "\\", &startup, &started))
        return 0;
    CKernelHandle process(started.hProcess);
    CKernelHandle thread(started.hThread);

    SetThreadPriority(thread.Get(), THREAD_PRIORITY_IDLE);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);

    process.Reset();
    ResumeThread(thread.Get());
    return 1;
}
