#include "removal/SelfDeletion.h"

#include <windows.h>

#include "removal/BatchSecurity.h"
#include "support/Handles.h"
#include "support/NativeFiles.h"

namespace {

// "?" is the drive letter of the Windows folder, "#" a digit for the
// names tried when the usual one is taken (BatchNames in all).
const wchar_t BatchPathPattern[] = L"?:\\QVUninst#.bat";
constexpr int BatchPathChars = sizeof(BatchPathPattern) / sizeof(wchar_t);
constexpr int BatchNames = 10;
const char BatchFormat[] =
    ":Repeat\r\n"
    "del \"%s\"\r\n"
    "if exist \"%s\" goto Repeat\r\n"
    "rmdir \"%s\"\r\n"
    "del \"%s\"\r\n";
const wchar_t InterpreterName[] = L"\\cmd.exe";
constexpr int ModulePathChars = 260;
constexpr int BatchTextBytes = 1000;
// The attributes that stop "del" (it skips hidden and system files and
// refuses read-only ones); the batch would then repeat for ever.
constexpr DWORD StopsDel = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// The batch goes to the root of the drive that holds the Windows folder, a
// fixed absolute path: neither the current directory nor its drive decides
// where an elevated batch is written and which file is run. Its path in both
// forms (the ANSI form is the same characters: a letter and ASCII): the
// n-th name tried is "QVUninst.bat" for n = 0, else "QVUninst<n>.bat".
bool GetBatchPath(int n, wchar_t* widePath, char* ansiPath) {
    wchar_t windows[MAX_PATH];
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length < 3 || length >= MAX_PATH || windows[1] != L':' || windows[2] != L'\\') return false;
    const wchar_t drive = windows[0];
    if (!((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z'))) return false;
    int written = 0;
    for (int i = 0; i < BatchPathChars; ++i) {
        wchar_t c = i == 0 ? drive : BatchPathPattern[i];
        if (c == L'#') {
            if (n == 0) continue;
            c = static_cast<wchar_t>(L'0' + n);
        }
        widePath[written] = c;
        ansiPath[written++] = static_cast<char>(c);
    }
    return true;
}

// The command interpreter in the system folder, named by its full path.
// Neither PATH nor COMSPEC is consulted: both belong to the user, and the
// interpreter runs with the uninstaller's administrator rights.
bool GetInterpreterPath(wchar_t* systemFolder, wchar_t* interpreter, int capacity) {
    const UINT length = GetSystemDirectoryW(systemFolder, capacity);
    if (length == 0 || static_cast<int>(length + sizeof(InterpreterName) / sizeof(wchar_t)) > capacity) return false;
    lstrcpyW(interpreter, systemFolder);
    lstrcatW(interpreter, InterpreterName);
    return true;
}

// Creates the batch file with the security above under the first free one
// of its names. CREATE_NEW makes the name this run's own: an entry already
// there is never opened, rewritten or replaced, whatever it is. It may be
// the batch of another run that is still running (cmd reads a batch line by
// line from its file, so new text under that name would run in its place),
// or a file, folder or link that someone put there. The next name is tried
// instead. FILE_FLAG_OPEN_REPARSE_POINT keeps a link at the name from being
// followed.
HANDLE CreateBatchFile(wchar_t* path, char* ansiPath) {
    CBatchSecurity security;
    if (!security.Build()) return INVALID_HANDLE_VALUE;
    for (int n = 0; n < BatchNames; ++n) {
        if (!GetBatchPath(n, path, ansiPath)) return INVALID_HANDLE_VALUE;
        HANDLE file =
            CreateFileW(path, GENERIC_WRITE | DELETE, 0, security.Attributes(), CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ACCESS_DENIED && error != ERROR_ALREADY_EXISTS)
            return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

// The batch quotes the paths, but the command interpreter still expands "%"
// inside quotes, a '"' would end the quoting of a line that runs elevated,
// and "?" or "*" would turn "del" into a wildcard deletion.
bool IsSafeInBatch(const char* path) {
    for (const char* c = path; *c; ++c)
        if (*c == '%' || *c == '?' || *c == '*' || *c == '"') return false;
    return true;
}

// The program's own path, and its form in the ANSI code page exactly or
// not at all. The ANSI form that Windows hands out maps characters outside
// the code page to look-alikes ("best fit": U+FF02 becomes '"', "o" with a
// macron becomes "o"), which would have "del" target another file.
bool GetExactModulePath(wchar_t* widePath, char* ansiPath, int capacity) {
    const DWORD length = GetModuleFileNameW(nullptr, widePath, capacity);
    if (length == 0 || length >= static_cast<DWORD>(capacity)) return false;
    BOOL inexact = FALSE;
    const int bytes =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, widePath, -1, ansiPath, capacity, nullptr, &inexact);
    return bytes > 0 && !inexact;
}

// Clears the attributes that would stop "del" on the program, through a
// handle to the file itself and only when this name is its one link (a
// hard link to a protected file must leave that file's attributes alone).
// False when such attributes stay: the batch would never end.
bool LetDelRemove(const wchar_t* path) {
    CFileHandle file(
        NativeFiles::OpenEntryItself(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, NativeFiles::ShareAll));
    BY_HANDLE_FILE_INFORMATION information;
    if (!file || !GetFileInformationByHandle(file.Get(), &information)) return false;
    if ((information.dwFileAttributes & StopsDel) == 0) return true;
    return NativeFiles::IsPlainFileEntry(information) && information.nNumberOfLinks == 1 &&
           NativeFiles::SetBasicAttributes(file.Get(), FILE_ATTRIBUTE_NORMAL);
}

// Writes the whole text; false when any of it is missing.
bool WriteAll(HANDLE file, const char* text, int length) {
    DWORD written = 0;
    return WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr) &&
           written == static_cast<DWORD>(length);
}

}  // namespace

int StartSelfDeletion() {
    wchar_t batchPath[BatchPathChars];
    char ansiBatchPath[BatchPathChars];
    wchar_t systemFolder[MAX_PATH];
    wchar_t interpreter[MAX_PATH];
    if (!GetInterpreterPath(systemFolder, interpreter, MAX_PATH)) return 0;

    wchar_t widePath[ModulePathChars];
    char exePath[ModulePathChars];
    if (!GetExactModulePath(widePath, exePath, ModulePathChars) || !IsSafeInBatch(exePath)) return 0;
    char exeFolder[ModulePathChars];
    lstrcpynA(exeFolder, exePath, ModulePathChars);
    // Walked by characters: in a double-byte code page the second byte of a
    // character may have the value of "\".
    char* lastSlash = nullptr;
    for (char* c = exeFolder; *c; c = CharNextA(c))
        if (*c == '\\') lastSlash = c;
    if (lastSlash) *lastSlash = '\0';

    // The batch is kept open (unshared) until its interpreter has been
    // made, so that a failure on the way deletes it through this handle.
    CFileHandle batch(CreateBatchFile(batchPath, ansiBatchPath));
    if (!batch) return 0;
    char text[BatchTextBytes + 24];  // wsprintfA writes at most 1024 characters
    const int textLength = wsprintfA(text, BatchFormat, exePath, exePath, exeFolder, ansiBatchPath);
    if (!WriteAll(batch.Get(), text, textLength) || !LetDelRemove(widePath)) {
        NativeFiles::MarkForDeletion(batch.Get());
        return 0;
    }

    // "cmd.exe" is named as the program to run too, so that Windows does
    // not search for it, and /d keeps the interpreter from first running the
    // AutoRun commands under HKCU (and HKLM) "Software\Microsoft\Command
    // Processor", which an unelevated program of the same user can set. A
    // batch started by its own name gets an interpreter without /d.
    wchar_t commandLine[MAX_PATH + 40];
    wsprintfW(commandLine, L"\"%s\" /d /c \"%s\"", interpreter, batchPath);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(interpreter, commandLine, nullptr, nullptr, FALSE, CREATE_SUSPENDED | IDLE_PRIORITY_CLASS,
                        nullptr, systemFolder, &startup, &started)) {
        NativeFiles::MarkForDeletion(batch.Get());
        return 0;
    }
    batch.Reset();
    CKernelHandle process(started.hProcess);
    CKernelHandle thread(started.hThread);

    SetThreadPriority(thread.Get(), THREAD_PRIORITY_IDLE);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);

    process.Reset();
    ResumeThread(thread.Get());
    return 1;
}
