// Self-deletion end to end: a program that calls StartSelfDeletion and ends
// is copied to a folder on drive C: as Uninstall.exe; Wine's cmd runs the
// batch "\QVUninst.bat", which removes the program, its emptied folder and
// itself.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "bench/Driver.h"
#include "removal/BatchSecurity.h"
#include "bench/TestFiles.h"

using namespace qvtest;

namespace {

const std::wstring Batch = L"C:\\QVUninst.bat";
const DWORD GoneWaitMs = 60000;

class SelfDeletionTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = FreshTestFolder(L"SelfDeletion");
        folder_ = base_ + L"\\Apps\\GlyphSmith";
        exe_ = folder_ + L"\\Uninstall.exe";
        ASSERT_TRUE(MakeFolders(folder_));
        ASSERT_TRUE(CopyFileW(BuiltProgram(L"helpers\\SelfDeleter.exe").c_str(), exe_.c_str(), FALSE));
        RemoveTree(Batch);
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
        RemoveTree(Batch);
        RemoveTree(base_);
    }
    // Starts the program with its current directory on C: and waits until
    // StartSelfDeletion has returned in it.
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

    std::wstring base_, folder_, exe_;
    HANDLE started_ = nullptr;
    HANDLE release_ = nullptr;
    ProcessDriver program_;
};

std::string ExpectedBatch(const std::string& exe, const std::string& folder) {
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
           "del \"\\QVUninst.bat\"\r\n";
}

std::wstring SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return L"?";
    std::wstring result = text;
    LocalFree(text);
    return result;
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
    return ok ? SidText(info.user.User.Sid) : L"";
}

struct DaclSummary {
    bool present = false;
    bool isProtected = false;
    std::vector<std::wstring> entries;  // "<type> <mask> <sid>"
};

DaclSummary SummariseDacl(PSECURITY_DESCRIPTOR descriptor) {
    DaclSummary summary;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl) return summary;
    summary.present = true;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    summary.isProtected = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) continue;
        const ACCESS_ALLOWED_ACE* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        summary.entries.push_back(std::to_wstring(header->AceType) + L" " + std::to_wstring(ace->Mask) + L" " +
                                  SidText(const_cast<DWORD*>(&ace->SidStart)));
    }
    return summary;
}

DaclSummary ReadDacl(const std::wstring& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return DaclSummary();
    DaclSummary summary = SummariseDacl(descriptor);
    LocalFree(descriptor);
    return summary;
}

// Full access for Administrators, SYSTEM and the user, nobody else.
std::vector<std::wstring> ExpectedEntries() {
    const std::wstring allowed =
        std::to_wstring(ACCESS_ALLOWED_ACE_TYPE) + L" " + std::to_wstring(FILE_ALL_ACCESS) + L" ";
    return {allowed + L"S-1-5-32-544", allowed + L"S-1-5-18", allowed + CurrentUserSid()};
}

TEST(BatchSecurity, GrantsAdministratorsSystemAndUserOnly) {
    CBatchSecurity security;
    ASSERT_TRUE(security.Build());
    SECURITY_ATTRIBUTES* attributes = security.Attributes();
    EXPECT_EQ(sizeof(SECURITY_ATTRIBUTES), attributes->nLength);
    EXPECT_FALSE(attributes->bInheritHandle);
    ASSERT_TRUE(IsValidSecurityDescriptor(attributes->lpSecurityDescriptor));
    const DaclSummary summary = SummariseDacl(attributes->lpSecurityDescriptor);
    ASSERT_TRUE(summary.present) << "a null DACL would grant everyone everything";
    EXPECT_TRUE(summary.isProtected) << "the drive root's inheritable entries are not merged in";
    EXPECT_EQ(ExpectedEntries(), summary.entries);
}

TEST_F(SelfDeletionTest, WritesTheBatchWithItsOwnSecurityAndRemovesEverything) {
    // An existing batch file, longer than the new one and read-only, is replaced.
    ASSERT_TRUE(WriteFileBytes(Batch, std::string(2000, 'x')));
    SetFileAttributesW(Batch.c_str(), FILE_ATTRIBUTE_READONLY);
    StartAndHold();

    EXPECT_EQ(ExpectedBatch(Narrow(exe_), Narrow(folder_)), ReadFileBytes(Batch));

    // Read back, the batch's DACL grants ordinary users nothing. Wine keeps
    // of a descriptor only what the file's Unix mode expresses (the owner
    // and everyone else) and reports SYSTEM, the owner and, for a file made
    // with default security, Everyone; Windows keeps the descriptor whole.
    const DaclSummary batchDacl = ReadDacl(Batch);
    ASSERT_TRUE(batchDacl.present);
    const std::wstring user = CurrentUserSid();
    bool grantsUser = false;
    for (const std::wstring& entry : batchDacl.entries) {
        for (const wchar_t* others : {L" S-1-1-0", L" S-1-5-32-545", L" S-1-5-11"})
            EXPECT_EQ(std::wstring::npos, entry.find(others)) << "grants ordinary users: " << Narrow(entry);
        grantsUser = grantsUser || entry.find(L" " + user) != std::wstring::npos;
    }
    EXPECT_TRUE(grantsUser);
    const std::wstring plain = base_ + L"\\default-security.txt";
    ASSERT_TRUE(WriteFileBytes(plain, "x"));
    const DaclSummary plainDacl = ReadDacl(plain);
    if (batchDacl.isProtected || plainDacl.isProtected || batchDacl.entries.size() == 3)
        EXPECT_EQ(ExpectedEntries(), batchDacl.entries) << "a system that keeps the descriptor keeps it whole";
    else
        std::printf(
            "This Wine keeps no whole security descriptor; the descriptor itself is checked by "
            "BatchSecurity.GrantsAdministratorsSystemAndUserOnly\n");

    ReleaseAndWaitForExit();
    EXPECT_TRUE(WaitUntil([this] { return !PathExists(exe_); }, GoneWaitMs)) << "the program stays";
    EXPECT_TRUE(WaitUntil([this] { return !PathExists(folder_); }, GoneWaitMs)) << "its folder stays";
    EXPECT_TRUE(WaitUntil([] { return !PathExists(Batch); }, GoneWaitMs)) << "the batch stays";
    EXPECT_TRUE(IsFolder(base_ + L"\\Apps")) << "only the program's own folder goes";
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
        const std::wstring folder = base_ + L"\\" + c.folder;
        const std::wstring exe = folder + L"\\Uninstall.exe";
        ASSERT_TRUE(MakeFolders(folder));
        ASSERT_TRUE(CopyFileW(BuiltProgram(L"helpers\\SelfDeleter.exe").c_str(), exe.c_str(), FALSE));
        std::wstring sentinel;
        if (c.lookAlike) {
            sentinel = base_ + L"\\" + c.lookAlike + L"\\Uninstall.exe";
            ASSERT_TRUE(MakeFolders(base_ + L"\\" + c.lookAlike));
            ASSERT_TRUE(WriteFileBytes(sentinel, "another program"));
        }
        ProcessDriver program;
        ASSERT_TRUE(program.Start(exe, base_));
        DWORD exitCode = 1;
        ASSERT_TRUE(program.WaitForExit(exitCode));
        EXPECT_FALSE(PathExists(Batch));
        EXPECT_TRUE(PathExists(exe));
        if (c.lookAlike) EXPECT_EQ(ReadFileBytes(sentinel), "another program");
    }
}

TEST_F(SelfDeletionTest, ReadOnlyProgramIsDeletedToo) {
    // "del" refuses a read-only file; the batch would repeat for ever.
    ASSERT_TRUE(SetFileAttributesW(exe_.c_str(), FILE_ATTRIBUTE_READONLY));
    StartAndHold();
    ReleaseAndWaitForExit();
    EXPECT_TRUE(WaitUntil([this] { return !PathExists(exe_); }, GoneWaitMs));
    EXPECT_TRUE(WaitUntil([] { return !PathExists(Batch); }, GoneWaitMs));
    EXPECT_FALSE(PathExists(folder_));
}

}  // namespace
