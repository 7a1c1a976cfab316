// Self-deletion end to end: a program that calls StartSelfDeletion and ends
// is copied to a folder on drive C: as Uninstall.exe; the system's cmd.exe
// runs the batch "C:\QVUninst.bat", which removes the program, its emptied
// folder and itself.
#include <windows.h>

#include <sddl.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <functional>

#include "bench/Driver.h"
#include "bench/TestFiles.h"
#include "removal/BatchSecurity.h"

using namespace qvtest;

namespace {

const std::wstring Batch = L"C:\\QVUninst.bat";
// The name the batch takes when its own is taken.
const std::wstring NextBatch = L"C:\\QVUninst1.bat";
const DWORD GoneWaitMs = 60000;
// Owned by Administrators; full access for Administrators and SYSTEM only,
// not merged with the root's entries; labelled High integrity, no write-up.
const std::wstring BatchSecurityText = L"O:BAD:P(A;;FA;;;BA)(A;;FA;;;SY)S:(ML;;NW;;;HI)";
const SECURITY_INFORMATION SecurityParts =
    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION;

class SelfDeletionTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = FreshTestFolder(L"SelfDeletion");
        folder_ = base_ + L"\\Apps\\GlyphSmith";
        exe_ = folder_ + L"\\Uninstall.exe";
        ASSERT_TRUE(MakeFolders(folder_));
        ASSERT_TRUE(CopyFileW(BuiltProgram(L"helpers\\SelfDeleter.exe").c_str(), exe_.c_str(), FALSE));
        RemoveTree(Batch);
        RemoveTree(NextBatch);
        started_ = CreateEventW(nullptr, TRUE, FALSE, L"QvTestSelfDeletionStarted");
        release_ = CreateEventW(nullptr, TRUE, FALSE, L"QvTestSelfDeletionRelease");
    }
    void TearDown() override {
        SetEvent(release_);
        CloseHandle(started_);
        CloseHandle(release_);
        // The batch may still be looping if a check failed: give it the
        // chance to end before its file and folder are taken away.
        WaitUntil([] { return !PathExists(Batch); }, GoneWaitMs);
        RemoveLink(Batch);
        RemoveTree(Batch);
        RemoveTree(NextBatch);
        RemoveTree(base_);
    }
    // Starts the program with its current directory on C: and waits until
    // StartSelfDeletion has returned in it. The program holds its own file
    // until released, so the batch repeats until then.
    void StartAndHold() {
        ASSERT_TRUE(program_.Start(exe_, base_, L"QvTestSelfDeletionStarted QvTestSelfDeletionRelease"));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started_, 30000));
    }
    void ReleaseAndWaitForExit() {
        SetEvent(release_);
        DWORD exitCode = 1;
        ASSERT_TRUE(program_.WaitForExit(exitCode));
        EXPECT_EQ(0u, exitCode);
    }
    // A copy of the program in a folder of its own below the test folder,
    // run to its end without holding anything.
    std::wstring CopyProgramTo(const std::wstring& name) {
        const std::wstring exe = base_ + L"\\" + name + L"\\Uninstall.exe";
        EXPECT_TRUE(MakeFolders(ParentOf(exe)));
        EXPECT_TRUE(CopyFileW(BuiltProgram(L"helpers\\SelfDeleter.exe").c_str(), exe.c_str(), FALSE));
        return exe;
    }
    void RunToItsEnd(const std::wstring& exe) {
        ProcessDriver program;
        ASSERT_TRUE(program.Start(exe, base_));
        DWORD exitCode = 1;
        ASSERT_TRUE(program.WaitForExit(exitCode));
    }

    std::wstring base_, folder_, exe_;
    HANDLE started_ = nullptr;
    HANDLE release_ = nullptr;
    ProcessDriver program_;
};

std::string ExpectedBatch(const std::string& exe, const std::string& folder, const std::string& batch) {
    return ":Repeat\r\n"
           "del \"" +
           exe +
           "\"\r\n"
           "if exist \"" +
           exe +
           "\" goto Repeat\r\n"
           "rmdir \"" +
           folder +
           "\"\r\n"
           "del \"" +
           batch + "\"\r\n";
}

// The mandatory label entries of the SACL, written as SDDL writes them.
std::wstring LabelText(PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL sacl = nullptr;
    if (!GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted)) return L"?";
    std::wstring text;
    for (DWORD i = 0; present && sacl && i < sacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(sacl, i, reinterpret_cast<void**>(&header))) return L"?";
        if (header->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE) continue;
        const auto* ace = reinterpret_cast<SYSTEM_MANDATORY_LABEL_ACE*>(header);
        LPWSTR sid = nullptr;
        if (!ConvertSidToStringSidW(const_cast<DWORD*>(&ace->SidStart), &sid)) return L"?";
        const std::wstring level = std::wstring(sid) == L"S-1-16-12288" ? L"HI" : sid;
        LocalFree(sid);
        text += L"(ML;" + (header->AceFlags ? std::to_wstring(header->AceFlags) : L"") + L";" +
                (ace->Mask == SYSTEM_MANDATORY_LABEL_NO_WRITE_UP ? L"NW" : std::to_wstring(ace->Mask)) + L";;;" +
                level + L")";
    }
    return text.empty() ? text : L"S:" + text;
}

// The owner, DACL and label in SDDL.
std::wstring SecurityText(PSECURITY_DESCRIPTOR descriptor) {
    LPWSTR text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr))
        return L"?";
    std::wstring result = text;
    LocalFree(text);
    return result + LabelText(descriptor);
}

// The owner, DACL and label of a file, read through a handle opened with
// READ_CONTROL (GetNamedSecurityInfoW asks Wine for more access with a
// label, which Wine refuses).
std::wstring FileSecurityText(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return L"?";
    std::vector<BYTE> descriptor(4096);
    DWORD size = 0;
    const BOOL read =
        GetKernelObjectSecurity(file, SecurityParts, descriptor.data(), static_cast<DWORD>(descriptor.size()), &size);
    CloseHandle(file);
    return read ? SecurityText(descriptor.data()) : L"?";
}

std::wstring CurrentUserSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } info;
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(token, TokenUser, &info, sizeof(info), &size);
    CloseHandle(token);
    LPWSTR text = nullptr;
    if (!ok || !ConvertSidToStringSidW(info.user.User.Sid, &text)) return L"?";
    std::wstring result = text;
    LocalFree(text);
    return result;
}

// Whether this system keeps a file's security descriptor as it was given:
// a probe file made with a protected DACL is read back. Wine derives the
// descriptor from the file's Unix mode instead.
bool KeepsDescriptors(const std::wstring& folder) {
    const std::wstring probe = folder + L"\\descriptor-probe.txt";
    const wchar_t given[] = L"D:P(A;;FA;;;WD)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(given, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW, 0, nullptr);
    LocalFree(descriptor);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return FileSecurityText(probe).find(given) != std::wstring::npos;
}

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? folder : L"?";
}

// What a running process was started with, read back from it: its image
// and, from the parameters block in its PEB, its command line and current
// directory.
struct StartedProcess {
    std::wstring image, commandLine, currentDirectory;
};

// The parameters block as far as needed (winternl.h hides the fields).
struct ProcessParameters {
    BYTE header[16];
    PVOID console[5];  // console handle and flags, the three standard handles
    UNICODE_STRING currentDirectory;
    HANDLE currentDirectoryHandle;
    UNICODE_STRING dllPath, imagePathName, commandLine;
};

std::wstring ReadRemoteText(HANDLE process, const UNICODE_STRING& text) {
    std::wstring result(text.Length / sizeof(wchar_t), L'\0');
    SIZE_T read = 0;
    if (result.empty() || !ReadProcessMemory(process, text.Buffer, &result[0], text.Length, &read) ||
        read != text.Length)
        return L"?";
    return result;
}

StartedProcess ReadStartOf(DWORD processId) {
    StartedProcess started;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return started;
    wchar_t image[MAX_PATH];
    DWORD imageChars = MAX_PATH;
    if (QueryFullProcessImageNameW(process, 0, image, &imageChars)) started.image = image;
    using QueryFunction = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    PVOID parametersAddress = nullptr;
    ProcessParameters parameters = {};
    SIZE_T read = 0;
    if (query && query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) >= 0 &&
        ReadProcessMemory(process, reinterpret_cast<BYTE*>(basic.PebBaseAddress) + offsetof(PEB, ProcessParameters),
                          &parametersAddress, sizeof(parametersAddress), &read) &&
        ReadProcessMemory(process, parametersAddress, &parameters, sizeof(parameters), &read)) {
        started.commandLine = ReadRemoteText(process, parameters.commandLine);
        started.currentDirectory = ReadRemoteText(process, parameters.currentDirectory);
    }
    CloseHandle(process);
    return started;
}

// The id of a running cmd.exe that the process started; zero when none.
DWORD InterpreterStartedBy(DWORD parentId) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    DWORD found = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == parentId && _wcsicmp(entry.szExeFile, L"cmd.exe") == 0)
            found = entry.th32ProcessID;
    CloseHandle(snapshot);
    return found;
}

// Whether two paths name the same file or folder, by file id. The image of
// a 32-bit cmd.exe is reported in the WoW64 folder, where the system folder's
// path leads a 32-bit process too; a current directory may end in "\\".
bool IsSameFile(const std::wstring& one, const std::wstring& other) {
    BY_HANDLE_FILE_INFORMATION information[2] = {};
    const std::wstring* paths[2] = {&one, &other};
    for (int i = 0; i < 2; ++i) {
        HANDLE file =
            CreateFileW(paths[i]->c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        const BOOL read = GetFileInformationByHandle(file, &information[i]);
        CloseHandle(file);
        if (!read) return false;
    }
    return information[0].dwVolumeSerialNumber == information[1].dwVolumeSerialNumber &&
           information[0].nFileIndexHigh == information[1].nFileIndexHigh &&
           information[0].nFileIndexLow == information[1].nFileIndexLow;
}

bool HasAttribute(const std::wstring& path, DWORD attribute) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & attribute) != 0;
}

// Only administrators can change the batch: the user who runs the
// uninstaller is neither its owner nor in its DACL (an unelevated program
// of the same user carries the same user SID), and the label keeps out
// writers below High integrity.
TEST(BatchSecurity, OnlyAdministratorsCanChangeTheBatch) {
    CBatchSecurity security;
    ASSERT_TRUE(security.Build());
    SECURITY_ATTRIBUTES* attributes = security.Attributes();
    EXPECT_EQ(sizeof(SECURITY_ATTRIBUTES), attributes->nLength);
    EXPECT_FALSE(attributes->bInheritHandle);
    ASSERT_TRUE(IsValidSecurityDescriptor(attributes->lpSecurityDescriptor));
    const std::wstring text = SecurityText(attributes->lpSecurityDescriptor);
    EXPECT_EQ(BatchSecurityText, text);
    EXPECT_EQ(std::wstring::npos, text.find(CurrentUserSid())) << "names the user";
}

TEST_F(SelfDeletionTest, WritesTheBatchWithItsOwnSecurityAndRemovesEverything) {
    StartAndHold();

    EXPECT_EQ(ExpectedBatch(Narrow(exe_), Narrow(folder_), Narrow(Batch)), ReadFileBytes(Batch));

    // Read back, the batch's security is the one it was made with. Wine
    // keeps of a descriptor only what the file's Unix mode expresses (the
    // owner is the user, SYSTEM and the user are granted access, nobody
    // else is when the DACL grants Everyone nothing) and no label.
    const std::wstring written = FileSecurityText(Batch);
    if (KeepsDescriptors(base_)) {
        EXPECT_EQ(BatchSecurityText, written);
    } else {
        ASSERT_NE(L"?", written);
        for (const wchar_t* others : {L";WD)", L";BU)", L";AU)"})
            EXPECT_EQ(std::wstring::npos, written.find(others)) << "grants ordinary users: " << Narrow(written);
        std::printf(
            "This Wine keeps no security descriptor (read back: %s); the descriptor itself is checked by "
            "BatchSecurity.OnlyAdministratorsCanChangeTheBatch\n",
            Narrow(written).c_str());
    }

    ReleaseAndWaitForExit();
    EXPECT_TRUE(WaitUntil([this] { return !PathExists(exe_); }, GoneWaitMs)) << "the program stays";
    EXPECT_TRUE(WaitUntil([this] { return !PathExists(folder_); }, GoneWaitMs)) << "its folder stays";
    EXPECT_TRUE(WaitUntil([] { return !PathExists(Batch); }, GoneWaitMs)) << "the batch stays";
    EXPECT_TRUE(IsFolder(base_ + L"\\Apps")) << "only the program's own folder goes";
}

// The batch runs in the system's cmd.exe, started by full path with /d (no
// AutoRun commands) on the batch's absolute path, in the system folder:
// read back from the running interpreter. A cmd.exe planted where COMSPEC
// and PATH point is not the one started. (Wine's cmd never runs AutoRun, so
// the /d is what shows here.)
TEST_F(SelfDeletionTest, StartsTheSystemInterpreterWithoutAutoRun) {
    const std::wstring planted = base_ + L"\\cmd.exe";
    ASSERT_TRUE(CopyFileW(BuiltProgram(L"helpers\\FileHolder.exe").c_str(), planted.c_str(), FALSE));
    // The test's own environment, which the program inherits, for its start only.
    std::wstring saved[2];
    const wchar_t* names[2] = {L"COMSPEC", L"PATH"};
    for (int i = 0; i < 2; ++i) {
        saved[i].resize(32768);
        saved[i].resize(GetEnvironmentVariableW(names[i], &saved[i][0], 32768));
    }
    SetEnvironmentVariableW(L"COMSPEC", planted.c_str());
    SetEnvironmentVariableW(L"PATH", (base_ + L";" + saved[1]).c_str());
    StartAndHold();
    for (int i = 0; i < 2; ++i) SetEnvironmentVariableW(names[i], saved[i].empty() ? nullptr : saved[i].c_str());

    DWORD interpreter = 0;
    ASSERT_TRUE(WaitUntil([&] { return (interpreter = InterpreterStartedBy(program_.ProcessId())) != 0; }))
        << "no cmd.exe started by the program";
    const StartedProcess started = ReadStartOf(interpreter);
    const std::wstring cmd = SystemFolder() + L"\\cmd.exe";
    EXPECT_TRUE(IsSameFile(cmd, started.image)) << Narrow(started.image);
    EXPECT_EQ(L"\"" + cmd + L"\" /d /c \"C:\\QVUninst.bat\"", started.commandLine);
    EXPECT_TRUE(IsSameFile(SystemFolder(), started.currentDirectory)) << Narrow(started.currentDirectory);
    ReleaseAndWaitForExit();
    EXPECT_TRUE(WaitUntil([] { return !PathExists(Batch); }, GoneWaitMs));
}

// An entry already at the batch's name is never opened, rewritten or
// replaced, whatever it is: the batch of another run that may still be
// running (cmd reads its batch line by line, so new text there would run in
// its place), a hard link to another file, a folder or a folder link. The
// batch takes the next name instead, so the uninstaller still goes, and
// the entry and what it leads to stay exactly as they were.
TEST_F(SelfDeletionTest, AnEntryAtTheBatchNameStaysAndTheBatchTakesTheNext) {
    const std::wstring other = base_ + L"\\Protected.txt";
    const std::wstring target = base_ + L"\\Target";
    const std::string otherBytes = "a protected file\r\n";
    const struct {
        const char* why;
        std::function<bool()> plant;
    } cases[] = {
        {"another run's batch, longer and read-only",
         [&] {
             return WriteFileBytes(Batch, std::string(2000, 'x')) &&
                    SetFileAttributesW(Batch.c_str(), FILE_ATTRIBUTE_READONLY);
         }},
        {"hard link to a read-only file",
         [&] {
             return WriteFileBytes(other, otherBytes) && SetFileAttributesW(other.c_str(), FILE_ATTRIBUTE_READONLY) &&
                    CreateHardLinkW(Batch.c_str(), other.c_str(), nullptr);
         }},
        {"hard link to a writable file",
         [&] { return WriteFileBytes(other, otherBytes) && CreateHardLinkW(Batch.c_str(), other.c_str(), nullptr); }},
        {"folder", [&] { return CreateDirectoryW(Batch.c_str(), nullptr) != FALSE; }},
        {"link to an empty folder", [&] { return MakeFolders(target) && PlantLink(Batch, target); }},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::wstring exe = CopyProgramTo(L"Case" + std::to_wstring(++index));
        ASSERT_TRUE(c.plant());
        const FileState planted = StateOf(Batch);
        const DWORD plantedAttributes = GetFileAttributesW(Batch.c_str());
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, plantedAttributes);
        const DWORD otherAttributes = GetFileAttributesW(other.c_str());
        RunToItsEnd(exe);
        EXPECT_TRUE(WaitUntil([&] { return !PathExists(exe); }, GoneWaitMs)) << "no batch ran";
        EXPECT_TRUE(WaitUntil([] { return !PathExists(NextBatch); }, GoneWaitMs));
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(Batch.c_str())) << "the entry went";
        EXPECT_EQ(plantedAttributes, GetFileAttributesW(Batch.c_str())) << "the entry was changed";
        EXPECT_TRUE(planted == StateOf(Batch));
        if (otherAttributes != INVALID_FILE_ATTRIBUTES) {
            EXPECT_EQ(otherBytes, ReadFileBytes(other));
            EXPECT_EQ(otherAttributes, GetFileAttributesW(other.c_str()));
        }
        SetFileAttributesW(Batch.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveLink(Batch);
        RemoveTree(Batch);
        SetFileAttributesW(other.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveTree(other);
    }
    EXPECT_TRUE(IsFolder(target)) << "the linked folder went";
}

TEST_F(SelfDeletionTest, FolderWithAUsersDocumentStays) {
    const std::wstring document = folder_ + L"\\My Logo.qvg";
    const std::string bytes = "user's own document\r\n\x01\x02\xfe";
    ASSERT_TRUE(WriteFileBytes(document, bytes));
    StartAndHold();
    ReleaseAndWaitForExit();
    EXPECT_TRUE(WaitUntil([this] { return !PathExists(exe_); }, GoneWaitMs));
    EXPECT_TRUE(WaitUntil([] { return !PathExists(Batch); }, GoneWaitMs));
    EXPECT_EQ(bytes, ReadFileBytes(document));
}

// A program path that the batch cannot name exactly gets no batch at all:
// the program and its folder stay, and so does the file that a look-alike
// ANSI form of the path would name.
TEST_F(SelfDeletionTest, PathsTheBatchCannotNameExactlyGetNoBatch) {
    const struct {
        const char* why;
        const wchar_t* folder;
        const wchar_t* lookAlike;  // the folder a best-fit conversion names, or null
    } cases[] = {
        {"percent sign", L"50%off", nullptr},
        {"o with macron", L"K\u014Dhai", L"Kohai"},
        {"full-width quotation mark", L"A\uFF02B", nullptr},
        {"Cyrillic letters", L"\u0423\u0441\u0442", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::wstring exe = CopyProgramTo(c.folder);
        std::wstring sentinel;
        if (c.lookAlike) {
            sentinel = base_ + L"\\" + c.lookAlike + L"\\Uninstall.exe";
            ASSERT_TRUE(MakeFolders(base_ + L"\\" + c.lookAlike));
            ASSERT_TRUE(WriteFileBytes(sentinel, "another program"));
        }
        RunToItsEnd(exe);
        EXPECT_FALSE(PathExists(Batch));
        EXPECT_TRUE(PathExists(exe));
        if (c.lookAlike) EXPECT_EQ(ReadFileBytes(sentinel), "another program");
    }
}

// "del" refuses a read-only file, and the batch would repeat for ever: the
// program's read-only attribute is cleared, through a handle, when the
// program's name is its file's one link. A second name (a hard link to a
// protected file) keeps the attribute, and there is then no batch.
TEST_F(SelfDeletionTest, ReadOnlyProgramIsDeletedWhenItsFileHasNoOtherName) {
    const std::wstring other = base_ + L"\\Protected.exe";
    const struct {
        const char* why;
        bool secondName;
    } cases[] = {{"one name", false}, {"a second name", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::wstring exe = CopyProgramTo(c.secondName ? L"Linked" : L"Single");
        if (c.secondName) {
            ASSERT_TRUE(MoveFileW(exe.c_str(), other.c_str()));
            ASSERT_TRUE(CreateHardLinkW(exe.c_str(), other.c_str(), nullptr));
        }
        ASSERT_TRUE(SetFileAttributesW(exe.c_str(), FILE_ATTRIBUTE_READONLY));
        RunToItsEnd(exe);
        if (c.secondName) {
            EXPECT_TRUE(HasAttribute(other, FILE_ATTRIBUTE_READONLY)) << "the protected file lost its attribute";
            EXPECT_TRUE(PathExists(exe));
            EXPECT_FALSE(PathExists(Batch));
        } else {
            EXPECT_TRUE(WaitUntil([&] { return !PathExists(exe); }, GoneWaitMs));
            EXPECT_TRUE(WaitUntil([] { return !PathExists(Batch); }, GoneWaitMs));
            EXPECT_FALSE(PathExists(ParentOf(exe)));
        }
    }
}

}  // namespace
