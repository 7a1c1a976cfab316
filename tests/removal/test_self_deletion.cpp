// Self-deletion end to end: a program that calls StartSelfDeletion and ends
// is copied to a folder on drive C: as Uninstall.exe; Wine's cmd runs the
// batch "\QVUninst.bat", which removes the program, its emptied folder and
// itself.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "bench/Driver.h"
#include "bench/TestFiles.h"
#include "removal/BatchSecurity.h"

using namespace qvtest;

namespace {

const std::wstring Batch = L"C:\\QVUninst.bat";
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
    // An existing batch file, longer than the new one and read-only, is replaced.
    ASSERT_TRUE(WriteFileBytes(Batch, std::string(2000, 'x')));
    ASSERT_TRUE(SetFileAttributesW(Batch.c_str(), FILE_ATTRIBUTE_READONLY));
    StartAndHold();

    EXPECT_EQ(ExpectedBatch(Narrow(exe_), Narrow(folder_)), ReadFileBytes(Batch));

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
